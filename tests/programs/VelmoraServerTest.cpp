#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

#include "Projects.h"
#include "HttpTestSupport.h"
#include "ServerProcess.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

TEST(VelmoraServer, ServesPublishesAgainOnHangUpAndStopsOnTerminate)
{
    auto project = makeProject("server");
    ReservedPort reserved;
    int port = reserved.port();
    ServerProcess server({"--port", std::to_string(port), (project / "screen.xml").string()});
    auto address = server.nextLine();
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->rfind("Endereço: ", 0), 0u) << *address;
    ASSERT_TRUE(server.waitForLine("Servidor Ativo!"));

    std::string reply = rawRequest(port, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_NE(reply.find(ReadWholeFile((project / "arquivos.xml").string())), std::string::npos);
    EXPECT_TRUE(server.waitForLine("Arquivo /arquivos.xml OK."));

    // A hang-up publishes again where the system has one.
    if (ChildProcess::CanHangUp()) {
        server.hangUp();
        EXPECT_TRUE(server.waitForLine("Servidor Ativo!"));
    }
    server.stop();
    EXPECT_EQ(server.wait(), 0);
    EXPECT_EQ(rawRequest(port, "GET / HTTP/1.1\r\n\r\n"), "");
    std::filesystem::remove_all(project);
}

TEST(VelmoraServer, AFailedFirstPublishIsAnErrorOnStderrAndExitStatusOne)
{
    auto project = makeProject("server-failing");
    const struct {
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {{"--port", "abc", (project / "screen.xml").string()}, "'abc' is not a valid integer value.\n"},
        {{"--port", "70000", (project / "screen.xml").string()},
         "Porta inválida: 70000 (use um número de 1 a 65535).\n"},
        {{"--port", "8099", (project / "bad-integer.xml").string()}, "'12a' is not a valid integer value.\n"},
    };
    for (const auto& row : rows) {
        ServerProcess server(row.args);
        EXPECT_EQ(server.wait(), 1) << row.error;
        EXPECT_EQ(server.errors(), row.error);
    }
    ServerProcess usage({});
    EXPECT_EQ(usage.wait(), 2);
    std::filesystem::remove_all(project);
}

// Regression: with stdout a pipe that nobody read, connection threads blocked on their log lines
// outlived the stop's wait, and the process ended in std::terminate.
TEST(VelmoraServer, AStopWaitsForConnectionsThatOutliveItsWaitAndExitsZero)
{
    auto project = makeProject("server-blocked-log");
    ReservedPort reserved;
    ServerProcess server({"--port", std::to_string(reserved.port()), (project / "screen.xml").string()}, 4096);
    ASSERT_TRUE(server.waitForLine("Servidor Ativo!"));
    // Nobody reads stdout any more: once its pipe is full, a request may wait for its log line.
    bool oneWaits = false;
    for (int i = 0; i < 2000 && !oneWaits; ++i) {
        Socket client = connectLoopback(reserved.port(), {}, 1000);
        client.sendAll("GET /screen.xml HTTP/1.1\r\n\r\n");
        oneWaits = client.receiveAll().empty();
    }
    server.stop();
    if (oneWaits) {
        // Past the server's own wait of 5 s the stop must neither abort nor give up on the thread.
        int early = server.wait(6500ms);
        if (early != -1) {
            EXPECT_EQ(early, 0);
            std::filesystem::remove_all(project);
            return;
        }
        server.drainOutput();
    }
    EXPECT_EQ(server.wait(20s), 0);
    std::filesystem::remove_all(project);
}

// Ctrl+C, Ctrl+Break or the console closed, and the session's end at log-off or shut-down on
// Windows: each stops the server and the program exits 0.
TEST(VelmoraServer, EachControlThatEndsTheProgramExitsZero)
{
    auto project = makeProject("server-controls");
    const struct {
        const char* what;
        std::function<bool(ServerProcess&)> send;
    } rows[] = {
        {"interrupt", [](ServerProcess& server) { return server.interrupt(); }},
        {"stop",
         [](ServerProcess& server) {
             server.stop();
             return true;
         }},
        {"session's end",
         [](ServerProcess& server) {
             server.endSession();
             return ChildProcess::CanEndSession();
         }},
    };
    for (const auto& row : rows) {
        ReservedPort reserved;
        ServerProcess server({"--port", std::to_string(reserved.port()), (project / "screen.xml").string()});
        ASSERT_TRUE(server.waitForLine("Servidor Ativo!")) << row.what;
        if (!row.send(server)) {
            std::cout << row.what << ": this system cannot send it\n";
            continue;
        }
        EXPECT_EQ(server.wait(), 0) << row.what;
    }
    std::filesystem::remove_all(project);
}

}  // namespace
}  // namespace velmora::test
