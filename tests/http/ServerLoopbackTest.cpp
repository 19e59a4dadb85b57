#include "HttpTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

using test::eventually;

class Loopback : public ::testing::Test {
protected:
    Loopback()
    {
        server.SetDefaultPort(0);
        server.Bindings().add().IP = "127.0.0.1";
        server.ServerSoftware = "Talvo Web";
        server.SetSessionState(true);
        server.AutoStartSession = true;
        server.SessionTimeOut = 600000;
        server.setRandomSource(random);
        server.OnSessionStart = [this](TIdHTTPSession&) { ++starts; };
        server.OnSessionEnd = [this](TIdHTTPSession&) { ++ends; };
        server.OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
            if (request.Path == "/fail")
                throw Exception("Cannot open file \"/x\". Permission denied");
            if (request.Path.rfind("/hello", 0) != 0) {
                response.SetStatusCode(404);
                response.BodyText = "The requested URL " + request.Path + " was not found on this server.";
                return;
            }
            response.BodyText = "hello";
        };
    }
    ~Loopback() override
    {
        if (server.Active())
            server.SetActive(false);
    }
    int start()
    {
        server.SetActive(true);
        return server.Bindings()[0].Port;
    }
    test::CountingRandom random;
    TIdHTTPServer server;
    std::atomic<int> starts{0}, ends{0};
};

TEST_F(Loopback, A200ReplyCarriesItsSessionCookieByteForByte)
{
    int port = start();
    EXPECT_EQ(test::rawRequest(port, "GET /hello HTTP/1.1\r\nHost: x\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 5\r\n"
              "Server: Talvo Web\r\nSet-Cookie: IDHTTPSESSIONID=qwertzuiopasdfg; path=/\r\n\r\nhello");
    EXPECT_EQ(test::rawRequest(port, "GET /hello HTTP/1.1\r\nCookie: IDHTTPSESSIONID=QwertzuiopasdfG\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 5\r\n"
              "Server: Talvo Web\r\n\r\nhello");
    EXPECT_EQ(starts, 1);
}

TEST_F(Loopback, Missing404AndFailing500Replies)
{
    int port = start();
    std::string missing = test::rawRequest(port, "GET /missing.png HTTP/1.1\r\n\r\n");
    EXPECT_EQ(missing.substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
    const std::string notFound = "The requested URL /missing.png was not found on this server.";
    EXPECT_EQ(missing.substr(missing.size() - notFound.size()), notFound);
    std::string failing = test::rawRequest(port, "GET /fail HTTP/1.1\r\n\r\n");
    EXPECT_EQ(failing.substr(0, 36), "HTTP/1.1 500 Internal Server Error\r\n");
    const std::string message = "Cannot open file \"/x\". Permission denied";
    EXPECT_EQ(failing.substr(failing.size() - message.size()), message);
}

TEST_F(Loopback, RealClientsGetTheBodyAndKeepTheirSession)
{
    if (!test::ToolAvailable("curl") || !test::ToolAvailable("python3"))
        GTEST_SKIP() << "curl and python3 are the independent clients";
    int port = start();
    std::string url = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(test::commandOutput("curl -s --max-time 10 " + url + "/hello"), "hello");
    EXPECT_EQ(test::commandOutput("curl -s --max-time 10 -o /dev/null -w '%{http_code}' " + url + "/nothing"), "404");
    std::string script = "import http.client\n"
                         "c = http.client.HTTPConnection('127.0.0.1', " +
        std::to_string(port) +
        ", timeout=10)\n"
        "c.request('GET', '/hello'); r = c.getresponse(); body = r.read()\n"
        "cookie = r.getheader('Set-Cookie').split(';')[0]\n"
        "c = http.client.HTTPConnection('127.0.0.1', " +
        std::to_string(port) +
        ", timeout=10)\n"
        "c.request('HEAD', '/hello', headers={'Cookie': cookie}); h = c.getresponse()\n"
        "print(body.decode(), h.status, h.getheader('Content-Length'), h.getheader('Set-Cookie'), h.read() == b'')\n";
    EXPECT_EQ(test::commandOutput("python3 -c \"" + script + "\""), "hello 200 5 None True\n");
    EXPECT_EQ(starts, 3);  // curl's two requests and python's first; its second found that session
}

TEST_F(Loopback, ALineOfTheLimitIsServedAndOneByteMoreClosesWithoutReply)
{
    int port = start();
    auto requestLine = [](size_t length) { return "GET /hello" + std::string(length - 19, 'a') + " HTTP/1.1\r\n\r\n"; };
    EXPECT_EQ(test::rawRequest(port, requestLine(16384)).substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(test::rawRequest(port, requestLine(16385)), "");
}

TEST_F(Loopback, ClientsThatCloseEarlyOrSendNothingEndTheirThreadsQuietly)
{
    server.RequestTimeout = 200;
    std::atomic<int> errors{0};
    server.OnException = [&](TIdPeerThread&, const std::exception&) { ++errors; };
    int port = start();
    test::Socket silent = test::connectLoopback(port);
    test::Socket midLine = test::connectLoopback(port);
    midLine.sendAll("GET /hel");
    midLine.close();
    test::Socket idle = test::connectLoopback(port);
    test::connectLoopback(port).close();
    EXPECT_TRUE(silent.closedByPeer());
    EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0; }));
    EXPECT_GE(errors, 3);
}

TEST_F(Loopback, APortInUseFailsWithTheMessageAndTheNextActivationUsesItsOwnPort)
{
    int port = start();
    TIdHTTPServer second;
    second.SetDefaultPort(port);
    try {
        second.SetActive(true);
        FAIL();
    } catch (const EIdCouldNotBindSocket& error) {
        EXPECT_EQ(error.Message(), "Ja existe um programa da Velmora aberto no computador.");
    }
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(second.Bindings().count(), 0u);
    second.SetDefaultPort(0);
    second.SetActive(true);
    EXPECT_NE(second.Bindings()[0].Port, port);
    second.SetActive(false);
    server.SetActive(false);
    TIdHTTPServer third;
    third.SetDefaultPort(port);
    third.SetActive(true);
    EXPECT_EQ(third.Bindings()[0].Port, port);
}

TEST_F(Loopback, MaxConnectionsOneClosesASecondClientAtOnce)
{
    server.MaxConnections = 1;
    int port = start();
    test::Socket first = test::connectLoopback(port);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 1; }));
    test::Socket second = test::connectLoopback(port);
    EXPECT_EQ(second.receiveAll(),
              "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Type: text/html\r\n"
              "Content-Length: 56\r\nServer: Talvo Web\r\nRetry-After: 5\r\n\r\n"
              "<HTML><BODY><B>503 Service Unavailable</B></BODY></HTML>");
    first.sendAll("GET /hello HTTP/1.1\r\n\r\n");
    EXPECT_EQ(first.receiveAll().substr(0, 15), "HTTP/1.1 200 OK");
}

TEST_F(Loopback, DeactivationClosesIdleClientsEndsEverySessionAndReturnsInTime)
{
    int port = start();
    for (int i = 0; i < 3; ++i)
        test::rawRequest(port, "GET /hello HTTP/1.1\r\n\r\n");
    test::Socket idle = test::connectLoopback(port);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 1; }));
    EXPECT_NO_THROW(server.SetActive(false)) << "the idle connection ended within TerminateWaitTime";
    EXPECT_TRUE(idle.closedByPeer());
    EXPECT_EQ(starts, 3);
    EXPECT_EQ(ends, 3);
    EXPECT_EQ(server.SessionList().count(), 0u);
}

// On Windows a socket that reuses addresses takes a port in use from a holder that did not ask for
// it alone: a second copy of the program would then serve beside the first.
TEST_F(Loopback, ItsPortIsRefusedToAnotherProgramThatReusesAddresses)
{
    EXPECT_FALSE(test::bindsReusingAddress(start()));
}

TEST_F(Loopback, AnIdleSessionEndsAfterItsTimeOut)
{
    server.SessionTimeOut = 150;
    server.SessionCleanInterval = 20;
    int port = start();
    test::rawRequest(port, "GET /hello HTTP/1.1\r\n\r\n");
    EXPECT_EQ(server.SessionList().count(), 1u);
    EXPECT_TRUE(eventually([&] { return ends == 1; }));
    EXPECT_EQ(server.SessionList().count(), 0u);
}

TEST_F(Loopback, ManyClientsAtOnceAreAllAnswered)
{
    // The counting source repeats after 61 identifiers; eighty live sessions need real ones.
    server.setRandomSource(TIdRandomSource::system());
    int port = start();
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&] {
            for (int j = 0; j < 10; ++j)
                if (test::rawRequest(port, "GET /hello HTTP/1.1\r\n\r\n").size() > 100)
                    ++answered;
        });
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(answered, 80);
    EXPECT_EQ(starts, 80);
}

}  // namespace
}  // namespace velmora
