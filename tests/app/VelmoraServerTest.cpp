#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "AppTestSupport.h"
#include "HttpTestSupport.h"
#include "base/Stream.h"

extern char** environ;

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// velmora-server as a child process whose output the test reads line by line.
class ServerProcess {
public:
    // outputPipeSize, when not 0, shrinks the pipe of stdout to that many bytes.
    explicit ServerProcess(std::vector<std::string> args, int outputPipeSize = 0)
    {
        int out[2], err[2];
        EXPECT_EQ(::pipe(out), 0);
        EXPECT_EQ(::pipe(err), 0);
        if (outputPipeSize > 0) {
            EXPECT_GE(::fcntl(out[0], F_SETPIPE_SZ, outputPipeSize), outputPipeSize);
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        args.insert(args.begin(), VELMORA_SERVER_PROGRAM);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&m_pid, VELMORA_SERVER_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~ServerProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_drainer.joinable())
            m_drainer.join();
        ::close(m_out);
        ::close(m_err);
    }

    // From now on stdout is read and dropped until the process ends; nextLine must not be called.
    void drainOutput()
    {
        m_drainer = std::thread([this] {
            char buffer[4096];
            while (::read(m_out, buffer, sizeof buffer) > 0) {
            }
        });
    }

    // The next whole line of stdout, or none when the time passes or the output ends.
    std::optional<std::string> nextLine(std::chrono::milliseconds limit = 10s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            size_t end = m_pending.find('\n');
            if (end != std::string::npos) {
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd ready{m_out, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char buffer[4096];
            ssize_t got = ::read(m_out, buffer, sizeof buffer);
            if (got <= 0)
                return std::nullopt;
            m_pending.append(buffer, static_cast<size_t>(got));
        }
    }
    bool waitForLine(const std::string& wanted)
    {
        while (auto line = nextLine())
            if (*line == wanted)
                return true;
        return false;
    }
    void signal(int number) { ::kill(m_pid, number); }
    // The exit status, or -1 when the process did not end within the time.
    int wait(std::chrono::milliseconds limit = 10s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(10ms);
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string errors()
    {
        std::string text;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(m_err, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(got));
        return text;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    std::string m_pending;
    std::thread m_drainer;
};

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
        {{"--port", "8099", (project / "bad-integer.xml").string()},
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
    server.signal(SIGTERM);
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

TEST(VelmoraServer, InterruptStopsARunningServer)
{
    auto project = makeProject("server-interrupt");
    ReservedPort reserved;
    ServerProcess server({"--port", std::to_string(reserved.port()), (project / "screen.xml").string()});
    ASSERT_TRUE(server.waitForLine("Servidor Ativo!"));
    server.signal(SIGINT);
    EXPECT_EQ(server.wait(), 0);
    std::filesystem::remove_all(project);
}

}  // namespace
}  // namespace velmora::test
