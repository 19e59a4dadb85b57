#include "operator/HttpProbe.h"

#include <gtest/gtest.h>
#include <thread>

#include "OperatorTestSupport.h"
#include "operator/Limits.h"
#include "http/IdHTTPServer.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// Listens on 127.0.0.1; the first client gets the reply (none: the server stays silent until the
// test ends), then the connection closes.
class OneShotServer {
public:
    explicit OneShotServer(std::optional<std::string> reply) : m_reply(std::move(reply))
    {
        if (m_reply)
            m_thread = std::thread([this] { serveOne(); });
    }
    ~OneShotServer()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    int port() const { return m_listener.port(); }

private:
    void serveOne()
    {
        Socket client = m_listener.accept();
        char request[1024];
        (void)client.receiveSome(request, sizeof request);
        client.sendAll(*m_reply);
    }

    std::optional<std::string> m_reply;
    LoopbackListener m_listener;
    std::thread m_thread;
};

TEST(HttpProbe, TheReplyHeadGivesItsStatusAndServer)
{
    const struct {
        const char* bytes;
        std::optional<int> status;
        const char* server;
    } rows[] = {
        {"HTTP/1.1 200 OK\r\nConnection: close\r\nServer: Talvo Web\r\n\r\nbody", 200, "Talvo Web"},
        {"HTTP/1.0 404 Not Found\r\nserver:   nginx/1.22 \r\n\r\n", 404, "nginx/1.22"},
        {"HTTP/1.1 200 OK\r\n\r\nServer: in the body", 200, ""},
        {"HTTP/1.1 301\r\nServer: x", 301, "x"},
        {"HTTP/1.1 200 OK\nServer: bare LF\n\n", 200, "bare LF"},
        {"HTTP/1.1 20 OK\r\n\r\n", std::nullopt, ""},
        {"HTTP/1.1 2000 OK\r\n\r\n", std::nullopt, ""},
        {"HTTP/1.1 abc OK\r\n\r\n", std::nullopt, ""},
        {"SSH-2.0-OpenSSH_9.2\r\n", std::nullopt, ""},
        {"", std::nullopt, ""},
    };
    for (const auto& row : rows) {
        std::optional<TReplyHead> head = ParseReplyHead(row.bytes);
        ASSERT_EQ(head.has_value(), row.status.has_value()) << row.bytes;
        if (head) {
            EXPECT_EQ(head->StatusCode, *row.status) << row.bytes;
            EXPECT_EQ(head->Server, row.server) << row.bytes;
        }
    }
}

TEST(HttpProbe, EachOutcomeOfAProbeOnLoopback)
{
    ReservedPort ourPort, unused;
    TIdHTTPServer ours;
    ours.SetDefaultPort(ourPort.port());
    ours.ServerSoftware = "Talvo Web";
    ours.OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo&, TIdHTTPResponseInfo& response) {
        response.BodyText = "manifest";
    };
    ours.SetActive(true);
    OneShotServer other(std::string("HTTP/1.1 200 OK\r\nServer: nginx\r\n\r\n"));
    OneShotServer full(std::string("HTTP/1.1 503 Service Unavailable\r\nServer: Talvo Web\r\nRetry-After: 5\r\n\r\n"));
    OneShotServer notHttp(std::string("SSH-2.0-OpenSSH_9.2\r\n"));
    OneShotServer silent(std::nullopt);
    const int nobody = unused.port();

    using TOutcome = THttpProbeResult::TOutcome;
    const struct {
        const char* what;
        int port;
        TOutcome outcome;
        const char* text;
        // Only the silent server waits out its time; the others answer at once, unless the
        // machine is too loaded to let them (a refused connection under Wine among other tests).
        std::chrono::milliseconds wait = 10s;
    } rows[] = {
        {"this server", ours.DefaultPort(), TOutcome::Answered, "Servidor acessível em A:P."},
        // Regression: a full server closed the probe without a reply, reported as no HTTP at all.
        {"this server full", full.port(), TOutcome::Answered,
         "Servidor ocupado em A:P: todas as conexões estão em uso."},
        {"another server", other.port(), TOutcome::Answered, "Servidor inacessível em A:P: outro programa respondeu."},
        {"not HTTP", notHttp.port(), TOutcome::NotHttp, "Servidor inacessível em A:P: resposta que não é HTTP."},
        {"nobody listening", nobody, TOutcome::Refused, "Servidor inacessível em A:P: conexão recusada."},
        {"silent", silent.port(), TOutcome::TimedOut, "Servidor inacessível em A:P: sem resposta em 0,3 s.", 300ms},
    };
    for (const auto& row : rows) {
        const THttpProbeResult result = ProbeHttp("127.0.0.1", row.port, row.wait);
        EXPECT_EQ(result.Outcome, row.outcome) << row.what;
        bool reachable = false;
        EXPECT_EQ(ReachabilityText("A:P", result, row.wait, reachable), row.text) << row.what;
        EXPECT_EQ(reachable, row.port == ours.DefaultPort() || row.port == full.port()) << row.what;
    }
    const THttpProbeResult bad = ProbeHttp("not an address", 80, 300ms);
    EXPECT_EQ(bad.Outcome, TOutcome::Failed);
    EXPECT_FALSE(bad.Error.empty());
    ours.SetActive(false);
}

// The probe reads at most MaxProbeReplyBytes of a head that has no end.
TEST(HttpProbe, AHeadIsReadUpToTheLimitAndNoFurther)
{
    const std::string status = "HTTP/1.1 200 OK\r\nX: ";
    const std::string server = "\r\nServer: Talvo Web";
    for (size_t extra : {0, 1}) {
        const std::string padding(MaxProbeReplyBytes - status.size() - server.size() + extra, 'p');
        OneShotServer endless(status + padding + server);
        const THttpProbeResult result = ProbeHttp("127.0.0.1", endless.port(), 5s);
        ASSERT_EQ(result.Outcome, THttpProbeResult::TOutcome::Answered) << extra;
        EXPECT_EQ(result.Head.Server, extra ? "Talvo We" : "Talvo Web") << extra;
    }
}

}  // namespace
}  // namespace velmora::test
