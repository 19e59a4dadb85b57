#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include "HttpTestSupport.h"
#include "OperatorTestSupport.h"
#include "base/Stream.h"
#include "operator/OperatorController.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

struct Done {
    std::string peer, method, path;
    int status = 0;
    int64_t length = 0;
    bool completed = false;
};

// A server whose get handler answers "/missing" with 404 and anything else with a small body, and
// that keeps what each finished request reported.
class RequestDone : public testing::Test {
protected:
    RequestDone()
    {
        server.ServerSoftware = "Talvo Web";
        server.OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
            if (request.Path == "/missing")
                response.SetStatusCode(404);
            response.BodyText = "corpo";
        };
        server.OnRequestDone = [this](TIdPeerThread&, const TIdHTTPRequestInfo& request,
                                      const TIdHTTPResponseInfo& response, bool completed) {
            std::lock_guard lock(m_doneMutex);
            done.push_back({request.PeerAddress, request.Method, request.Path, response.StatusCode(),
                            response.ContentLength, completed});
        };
    }
    std::vector<Done> taken()
    {
        std::lock_guard lock(m_doneMutex);
        return done;
    }

    TIdHTTPServer server;
    // Guards done, filled on connection threads.
    std::mutex m_doneMutex;
    std::vector<Done> done;
};

TEST_F(RequestDone, EachAnsweredRequestIsReportedAfterItsReply)
{
    runRequest(server, "GET /Images/a%20b.png?x=1 HTTP/1.1\r\n\r\n", 0, "127.0.0.5");
    runRequest(server, "HEAD /missing HTTP/1.1\r\n\r\n", 0, "127.0.0.6");
    runRequest(server, "OPTIONS / HTTP/1.1\r\n\r\n");
    const std::vector<Done> reported = taken();
    ASSERT_EQ(reported.size(), 2u) << "a method the get handler never sees is not reported";
    EXPECT_EQ(reported[0].peer, "127.0.0.5");
    EXPECT_EQ(reported[0].path, "/Images/a b.png");
    EXPECT_EQ(reported[0].status, 200);
    EXPECT_EQ(reported[0].length, 5);
    EXPECT_TRUE(reported[0].completed);
    EXPECT_EQ(reported[1].method, "HEAD");
    EXPECT_EQ(reported[1].status, 404);
}

TEST_F(RequestDone, AReplyCutOffByTheClientIsReportedIncomplete)
{
    TempProject project("request-done", {});
    {
        std::ofstream big(project.folder() / "big.bin", std::ios::binary);
        big.seekp(64 * 1024 * 1024 - 1);
        big.put('x');
    }
    const std::string file = (project.folder() / "big.bin").string();
    server.OnCommandGet = [file](TIdPeerThread&, TIdHTTPRequestInfo&, TIdHTTPResponseInfo& response) {
        response.BodyStream = std::make_unique<TFileStream>(file, TFileStream::fmOpenRead);
    };
    ReservedPort port;
    server.SetDefaultPort(port.port());
    server.SetActive(true);

    Socket client = connectLoopback(port.port());
    client.sendAll("GET /big.bin HTTP/1.1\r\n\r\n");
    char first;
    ASSERT_EQ(client.receiveSome(&first, 1), 1) << "the reply has begun";
    client.reset();

    const auto until = std::chrono::steady_clock::now() + 10s;
    while (taken().empty() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    server.SetActive(false);
    ASSERT_EQ(taken().size(), 1u);
    EXPECT_FALSE(taken()[0].completed);
}

TEST(PhoneTrackerOnTheServer, WholeBodiesCountAndAHeadRequestNone)
{
    ManualClock clock;
    TPhoneTracker tracker(clock);
    tracker.SetManifest(std::make_shared<const TManifestIndex>(
        std::vector<TManifestEntry>{{"screen.xml", "http://h:1/screen.xml", "/screen.xml"}}));
    TIdHTTPServer server;
    server.OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
        response.BodyText = request.Path == "/" ? "<ARQUIVOS/>" : "<SCREEN/>";
    };
    server.OnRequestDone = [&tracker](TIdPeerThread&, const TIdHTTPRequestInfo& request,
                                      const TIdHTTPResponseInfo& response, bool completed) {
        tracker.Record(ServedRequestOf(request, response, completed));
    };
    runRequest(server, "GET / HTTP/1.1\r\n\r\n", 0, "127.0.0.7");
    runRequest(server, "HEAD /screen.xml HTTP/1.1\r\n\r\n", 0, "127.0.0.7");
    TPhoneChanges changes = tracker.Collect();
    ASSERT_EQ(changes.Phones.size(), 1u);
    EXPECT_EQ(changes.Phones[0].State, TPhoneState::Importing);
    EXPECT_EQ(changes.Phones[0].Bytes, 11u);
    runRequest(server, "GET /screen.xml HTTP/1.1\r\n\r\n", 0, "127.0.0.7");
    changes = tracker.Collect();
    EXPECT_EQ(changes.Phones[0].State, TPhoneState::Complete);
    EXPECT_EQ(changes.Phones[0].Bytes, 20u);
}

}  // namespace
}  // namespace velmora::test
