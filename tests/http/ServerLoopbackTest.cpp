#include "HttpTestSupport.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) until the condition holds.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 5s)
{
    auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

int connectTo(int port)
{
    int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    timeval limit{10, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return handle;
}

// Answers whether the server closed the connection (rather than the wait running out).
bool closedByServer(int handle)
{
    char byte;
    ssize_t got = ::recv(handle, &byte, 1, 0);
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

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
    int port = start();
    std::string url = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(test::commandOutput("curl -s --max-time 10 " + url + "/hello"), "hello");
    EXPECT_EQ(test::commandOutput("curl -s --max-time 10 -o /dev/null -w '%{http_code}' " + url + "/nothing"), "404");
    std::string script =
        "import http.client\n"
        "c = http.client.HTTPConnection('127.0.0.1', " + std::to_string(port) + ", timeout=10)\n"
        "c.request('GET', '/hello'); r = c.getresponse(); body = r.read()\n"
        "cookie = r.getheader('Set-Cookie').split(';')[0]\n"
        "c = http.client.HTTPConnection('127.0.0.1', " + std::to_string(port) + ", timeout=10)\n"
        "c.request('HEAD', '/hello', headers={'Cookie': cookie}); h = c.getresponse()\n"
        "print(body.decode(), h.status, h.getheader('Content-Length'), h.getheader('Set-Cookie'), h.read() == b'')\n";
    EXPECT_EQ(test::commandOutput("python3 -c \"" + script + "\""), "hello 200 5 None True\n");
    EXPECT_EQ(starts, 3);  // curl's two requests and python's first; its second found that session
}

TEST_F(Loopback, ALineOfTheLimitIsServedAndOneByteMoreClosesWithoutReply)
{
    int port = start();
    auto requestLine = [](size_t length) {
        return "GET /hello" + std::string(length - 19, 'a') + " HTTP/1.1\r\n\r\n";
    };
    EXPECT_EQ(test::rawRequest(port, requestLine(16384)).substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(test::rawRequest(port, requestLine(16385)), "");
}

TEST_F(Loopback, ClientsThatCloseEarlyOrSendNothingEndTheirThreadsQuietly)
{
    server.RequestTimeout = 200;
    std::atomic<int> errors{0};
    server.OnException = [&](TIdPeerThread&, const std::exception&) { ++errors; };
    int port = start();
    int silent = connectTo(port);
    int midLine = connectTo(port);
    ::send(midLine, "GET /hel", 8, 0);
    ::close(midLine);
    int idle = connectTo(port);
    ::close(connectTo(port));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(closedByServer(silent));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0; }));
    EXPECT_GE(errors, 3);
    ::close(silent);
    ::close(idle);
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
    int first = connectTo(port);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 1; }));
    int second = connectTo(port);
    EXPECT_TRUE(closedByServer(second));
    ::send(first, "GET /hello HTTP/1.1\r\n\r\n", 23, 0);
    char buffer[512];
    EXPECT_GT(::recv(first, buffer, sizeof buffer, 0), 0);
    ::close(first);
    ::close(second);
}

TEST_F(Loopback, DeactivationClosesIdleClientsEndsEverySessionAndReturnsInTime)
{
    int port = start();
    for (int i = 0; i < 3; ++i)
        test::rawRequest(port, "GET /hello HTTP/1.1\r\n\r\n");
    int idle = connectTo(port);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 1; }));
    auto start = std::chrono::steady_clock::now();
    server.SetActive(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(server.TerminateWaitTime));
    EXPECT_TRUE(closedByServer(idle));
    EXPECT_EQ(starts, 3);
    EXPECT_EQ(ends, 3);
    EXPECT_EQ(server.SessionList().count(), 0u);
    ::close(idle);
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
