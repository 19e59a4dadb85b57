#include "HttpTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::eventually;

// A thread whose step throws what it is given, once; it records whether its cleanup ran.
template <class Thrown>
class ThrowingThread : public TIdThread {
public:
    explicit ThrowingThread(Thrown thrown) : m_thrown(thrown) {}
    ~ThrowingThread() override { waitFor(); }
    std::atomic<bool> cleanedUp{false};

protected:
    void run() override { throw m_thrown; }
    void cleanup() override { cleanedUp = true; }

private:
    Thrown m_thrown;
};

// Regression: only std::exception was caught, so anything else ended the process; and an exception
// thrown by OnException itself escaped the thread.
TEST(ThreadBoundary, NothingEscapesAThreadNeitherItsStepsNorItsReport)
{
    ThrowingThread<int> unknown(42);
    std::string reported;
    unknown.OnException = [&](TIdThread&, const std::exception& error) { reported = error.what(); };
    unknown.start();
    ASSERT_TRUE(eventually([&] { return unknown.cleanedUp.load(); }));
    unknown.waitFor();
    EXPECT_EQ(reported, RSThreadUnknownException);
    EXPECT_EQ(unknown.TerminatingException(), RSThreadUnknownException);

    ThrowingThread<Exception> known(Exception("step failed"));
    known.OnException = [](TIdThread&, const std::exception&) { throw Exception("the report failed too"); };
    known.start();
    ASSERT_TRUE(eventually([&] { return known.cleanedUp.load(); }));
    known.waitFor();
    EXPECT_EQ(known.TerminatingException(), "step failed");
}

// A thread that frees itself and whose one step ends it at once: it may be over before start()
// has returned, which must then touch nothing of it.
struct BriefThread : TIdThread {
    std::atomic<int>* knewItself;
    std::atomic<int>* ended;
    void run() override
    {
        *knewItself += isCurrentThread() ? 1 : 0;
        stop();
    }
    void cleanup() override { ++*ended; }
};

TEST(ThreadStart, AThreadKnowsItselfFromItsFirstStepAndMayEndBeforeStartReturns)
{
    const int before = TIdThread::liveCount();
    std::atomic<int> knewItself{0}, ended{0};
    for (int i = 0; i < 200; ++i) {
        auto* thread = new BriefThread;
        thread->knewItself = &knewItself;
        thread->ended = &ended;
        thread->FreeOnTerminate = true;
        thread->start();
    }
    ASSERT_TRUE(eventually([&] { return TIdThread::liveCount() == before; }));
    EXPECT_EQ(ended.load(), 200);
    EXPECT_EQ(knewItself.load(), 200);
}

TEST(ThreadBoundary, AConnectionWhoseHandlerAndReportBothThrowEndsAndTheServerGoesOn)
{
    TIdHTTPServer server;
    server.SetDefaultPort(0);
    server.Bindings().add().IP = "127.0.0.1";
    std::atomic<int> reports{0};
    server.OnException = [&](TIdPeerThread&, const std::exception&) {
        ++reports;
        throw 7;
    };
    server.OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
        if (request.Path == "/odd")
            throw 3.5;
        response.BodyText = "fine";
    };
    server.SetActive(true);
    int port = server.Bindings()[0].Port;
    std::string odd = test::rawRequest(port, "GET /odd HTTP/1.1\r\n\r\n");
    EXPECT_EQ(odd.substr(0, 12), "HTTP/1.1 500");
    EXPECT_EQ(odd.substr(odd.size() - std::string(RSHTTPUnknownHandlerError).size()), RSHTTPUnknownHandlerError);
    EXPECT_EQ(test::rawRequest(port, "GARBAGE\r\n"), "");
    test::connectLoopback(port).close();
    EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0 && reports >= 2; }));
    std::string fine = test::rawRequest(port, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(fine.substr(fine.size() - 4), "fine");
}

}  // namespace
}  // namespace velmora
