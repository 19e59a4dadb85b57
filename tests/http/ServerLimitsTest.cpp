#include "HttpTestSupport.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

#include "SystemTexts.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::eventually;

// A server on 127.0.0.1 that answers "/hello" and, for "/big", a body far larger than the socket
// buffers of a client that stops reading.
class ServerLimits : public ::testing::Test {
protected:
    ServerLimits()
    {
        server.SetDefaultPort(0);
        server.Bindings().add().IP = "127.0.0.1";
        server.ListenQueue = IdListenQueueForBursts;
        server.OnCommandGet = [this](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
            if (request.Path == "/big")
                response.BodyText = std::string(32 << 20, 'b');
            else if (request.Path == "/bigfile")
                response.BodyStream = std::make_unique<TFileStream>(bigFile.string(), TFileStream::fmOpenRead);
            else
                response.BodyText = "hello";
        };
    }
    ~ServerLimits() override { std::filesystem::remove(bigFile); }
    int start()
    {
        server.SetActive(true);
        return server.Bindings()[0].Port;
    }
    // An ordinary request from another client is answered.
    bool answered(int port, const std::string& from)
    {
        std::string reply = test::rawRequest(port, "GET /hello HTTP/1.1\r\n\r\n", from);
        return reply.rfind("HTTP/1.1 200 OK", 0) == 0 && reply.substr(reply.size() - 5) == "hello";
    }
    // Opens count connections from one address and answers them once the server has taken them in.
    std::vector<test::Socket> hold(int port, const std::string& from, size_t count)
    {
        std::vector<test::Socket> held;
        for (size_t i = 0; i < count; ++i)
            held.push_back(test::connectLoopback(port, from, 2000));
        return held;
    }
    // Clients whose connection the server closed, with a reply or without, waiting up to wait for
    // the first.
    static size_t closedByServer(std::vector<test::Socket>& clients, std::chrono::milliseconds wait = 0ms)
    {
        size_t closed = 0;
        int waitMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 1));
        for (auto& client : clients) {
            client.setReceiveTimeout(waitMs);
            waitMs = 1;
            closed += client.heardFromPeer() ? 1 : 0;
        }
        return closed;
    }

    std::filesystem::path bigFile =
        std::filesystem::temp_directory_path() / ("velmora-limits-" + std::to_string(::getpid()) + ".bin");
    TIdHTTPServer server;
};

// Regression: one client holding idle connections could take every thread the server would make.
TEST_F(ServerLimits, OneClientsIdleConnectionsStopAtItsLimitAndTheTotalAtMaxConnections)
{
    const size_t idleFromOneClient = 2000;
    if (test::RunningUnderWine())
        GTEST_SKIP() << "thousands of connections and threads take minutes under Wine";
    if (!test::allowDescriptors(static_cast<long>(idleFromOneClient + 3 * IdMaxConnections + 200)))
        GTEST_SKIP() << "the hard limit of open files is too low for " << idleFromOneClient << " idle connections";
    server.MaxConnections = IdMaxConnections;
    // Filling the server takes longer than the crowded idle time under the sanitizers: the first
    // connections would be let go before the last arrive. That time has a test of its own.
    server.IdleTimeoutWhenCrowded = 600000;
    int port = start();

    // Thousands of threads start slowly under the sanitizers on a busy machine.
    const auto slow = std::chrono::seconds(150);
    auto greedy = hold(port, "127.0.0.3", idleFromOneClient);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == IdMaxConnectionsPerClient; }, slow));
    const size_t refused = idleFromOneClient - IdMaxConnectionsPerClient;
    ASSERT_TRUE(eventually([&] { return closedByServer(greedy) == refused; }, slow));
    EXPECT_TRUE(answered(port, "127.0.0.2"));

    // Other clients fill the server up to MaxConnections; one more takes the place of the idle
    // connection held longest by the largest address.
    std::vector<std::vector<test::Socket>> others;
    const size_t perClient = static_cast<size_t>(IdMaxConnectionsPerClient);
    for (size_t held = perClient, c = 4; held < static_cast<size_t>(IdMaxConnections); held += perClient, ++c)
        others.push_back(hold(port, "127.0.0." + std::to_string(c), perClient));
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == static_cast<size_t>(IdMaxConnections); }, slow));
    std::vector<test::Socket> onePast = hold(port, "127.0.0.20", 1);
    EXPECT_TRUE(eventually([&] { return closedByServer(greedy) == refused + 1; }, slow));
    EXPECT_EQ(closedByServer(onePast), 0u);
    others[0].pop_back();
    EXPECT_TRUE(eventually([&] { return answered(port, "127.0.0.21"); }, slow));
}

TEST_F(ServerLimits, ClientsAreCountedByAddressAtTheLimitAndOnePastIt)
{
    server.MaxConnectionsPerClient = 3;
    int port = start();
    auto atLimit = hold(port, "127.0.0.3", 3);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 3; }));
    auto onePast = hold(port, "127.0.0.3", 1);
    EXPECT_EQ(onePast[0].receiveAll().rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u);
    EXPECT_TRUE(answered(port, "127.0.0.2"));
    atLimit.pop_back();
    EXPECT_TRUE(eventually([&] { return server.connectionCount() == 2; }));
    EXPECT_TRUE(answered(port, "127.0.0.3")) << "a connection that ended gave its place back";
}

// Regression: four addresses holding idle connections up to MaxConnections locked every other
// client out; a lower limit per address alone gives way once more addresses come.
TEST_F(ServerLimits, WhileEightAddressesHoldAllTheyMayNewClientsAreStillServed)
{
    server.MaxConnections = 8;
    server.MaxConnectionsPerClient = 4;
    int port = start();
    std::vector<std::vector<test::Socket>> idle;
    for (int c = 3; c < 11; ++c)
        idle.push_back(hold(port, "127.0.0." + std::to_string(c), 4));
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 8; }));
    for (const char* phone : {"127.0.0.20", "127.0.0.21", "127.0.0.22"})
        EXPECT_TRUE(answered(port, phone)) << phone;
}

TEST_F(ServerLimits, WhileCrowdedAConnectionThatSendsNothingIsLetGoSooner)
{
    server.MaxConnections = 4;
    server.IdleTimeoutWhenCrowded = 100;
    int port = start();
    auto quiet = hold(port, "127.0.0.3", 3);
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 3; }));
    EXPECT_EQ(closedByServer(quiet, std::chrono::milliseconds(IdCrowdingCheckInterval + 500)), 0u)
        << "three places of four taken is not crowded";
    quiet.push_back(test::connectLoopback(port, "127.0.0.4"));
    EXPECT_TRUE(eventually([&] { return closedByServer(quiet) > 0; })) << "four of four is";
}

// Regression: a client that stopped reading in the middle of a body held its thread for good.
TEST_F(ServerLimits, AClientThatStopsReadingIsDroppedOnceItsSendMakesNoProgress)
{
    std::ofstream(bigFile, std::ios::binary) << std::string(32 << 20, 'f');
    server.SendTimeout = 300;
    int port = start();
    for (const char* path : {"/big", "/bigfile"}) {
        test::Socket stalled = test::connectLoopback(port, "127.0.0.3", 10000, 65536);
        stalled.sendAll("GET " + std::string(path) + " HTTP/1.1\r\n\r\n");
        ASSERT_TRUE(eventually([&] { return server.connectionCount() == 1; })) << path;
        EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0; })) << path;
        EXPECT_LT(stalled.receiveAll().size(), size_t{32} << 20) << path << ": the server let go before the end";
    }
    EXPECT_TRUE(answered(port, "127.0.0.2"));
}

// A handler that keeps its thread past the server's wait; released by the test.
class Gate {
public:
    void wait()
    {
        std::unique_lock lock(m_gateMutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void waitUntilEntered()
    {
        std::unique_lock lock(m_gateMutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void open()
    {
        std::lock_guard lock(m_gateMutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    // Guards m_entered and m_open.
    std::mutex m_gateMutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

// Regression: a connection thread that outlived the wait made deactivation throw out of the
// destructor (std::terminate), or ran on while the server's sessions were freed under it.
TEST(ServerExit, AConnectionThatOutlivesTheWaitIsAwaitedBeforeTheServerGoes)
{
    Gate gate;
    std::atomic<bool> handlerDone{false};
    std::atomic<int> sessionEnds{0};
    std::thread client, opener;
    {
        TIdHTTPServer server;
        server.SetDefaultPort(0);
        server.Bindings().add().IP = "127.0.0.1";
        server.TerminateWaitTime = 250;
        server.SetSessionState(true);
        server.AutoStartSession = true;
        server.SessionTimeOut = 600000;
        // The request's session starts only once the test lets it, long after the wait.
        server.OnSessionStart = [&](TIdHTTPSession&) { gate.wait(); };
        server.OnSessionEnd = [&](TIdHTTPSession&) { ++sessionEnds; };
        server.OnCommandGet = [&](TIdPeerThread&, TIdHTTPRequestInfo&, TIdHTTPResponseInfo& response) {
            response.BodyText = "late";
            handlerDone = true;
        };
        server.SetActive(true);
        int port = server.Bindings()[0].Port;
        client = std::thread([port] { test::rawRequest(port, "GET / HTTP/1.1\r\n\r\n"); });
        gate.waitUntilEntered();
        try {
            server.SetActive(false);
            ADD_FAILURE() << "the blocked request ended within the wait";
        } catch (const EIdTerminateThreadTimeout& error) {
            EXPECT_EQ(error.Message(), "Terminate Thread Timeout");
        }
        EXPECT_FALSE(server.Active());
        EXPECT_EQ(server.connectionCount(), 1u);
        opener = std::thread([&] {
            std::this_thread::sleep_for(100ms);
            gate.open();
        });
    }
    EXPECT_TRUE(handlerDone) << "the server went while its connection thread still ran";
    EXPECT_EQ(sessionEnds, 1) << "the session the late request started was ended with the server";
    opener.join();
    client.join();
}

}  // namespace
}  // namespace velmora
