#include <csignal>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "HttpTestSupport.h"
#include "ServerProcess.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

TEST(VelmoraServer, ServesPublishesAgainOnHangUpAndStopsOnTerminate)
{
    auto project = makeProject("server");
    int port = freePort();
    ServerProcess server({"--port", std::to_string(port), (project / "screen.xml").string()});
    auto address = server.nextLine();
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->rfind("Endereço: ", 0), 0u) << *address;
    ASSERT_TRUE(server.waitForLine("Servidor Ativo!"));

    std::string reply = rawRequest(port, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_NE(reply.find(ReadWholeFile((project / "arquivos.xml").string())), std::string::npos);
    EXPECT_TRUE(server.waitForLine("Arquivo /arquivos.xml OK."));

    server.signal(SIGHUP);
    EXPECT_TRUE(server.waitForLine("Servidor Ativo!"));
    server.signal(SIGTERM);
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
        {{"--port", "70000", (project / "screen.xml").string()}, "Porta inválida: 70000 (use um número de 1 a 65535).\n"},
        {{"--port", std::to_string(freePort()), (project / "bad-integer.xml").string()},
         "'12a' is not a valid integer value.\n"},
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

TEST(VelmoraServer, InterruptStopsARunningServer)
{
    auto project = makeProject("server-interrupt");
    ServerProcess server({"--port", std::to_string(freePort()), (project / "screen.xml").string()});
    ASSERT_TRUE(server.waitForLine("Servidor Ativo!"));
    server.signal(SIGINT);
    EXPECT_EQ(server.wait(), 0);
    std::filesystem::remove_all(project);
}

}  // namespace
}  // namespace velmora::test
