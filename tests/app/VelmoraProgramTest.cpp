#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// The velmora program as a child process drawing off screen, its output read to the end.
class Program {
public:
    explicit Program(std::vector<std::string> args)
    {
        int out[2], err[2];
        EXPECT_EQ(::pipe(out), 0);
        EXPECT_EQ(::pipe(err), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        args.insert(args.begin(), VELMORA_PROGRAM);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        EXPECT_EQ(::posix_spawn(&m_pid, VELMORA_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~Program()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }

    // Whether the program has reached the point where a stop signal waits for its window.
    bool stopSignalsBlocked()
    {
        for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;
             std::this_thread::sleep_for(10ms)) {
            std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
            for (std::string line; std::getline(status, line);)
                if (line.rfind("SigBlk:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1))))
                    return true;
        }
        return false;
    }
    void signal(int number) { ::kill(m_pid, number); }

    // The exit status once the program has ended, with everything it wrote; -1 when it was killed.
    int finish(std::string& out, std::string& err)
    {
        out = readAll(m_out);
        err = readAll(m_err);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static std::string readAll(int fd)
    {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(got));
        return text;
    }

    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
};

TEST(VelmoraProgram, TakesNoArgumentsBeyondHelpAndVersion)
{
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } rows[] = {
        {{"--version"}, 0, "velmora " VELMORA_VERSION "\n", ""},
        {{"--help"}, 0, "usage: velmora (opens the window; takes no arguments)\n", ""},
        {{"examples/demo/screen.xml"}, 2, "", "usage: velmora (opens the window; takes no arguments)\n"},
        {{"--help", "--version"}, 2, "", "usage: velmora (opens the window; takes no arguments)\n"},
        {{"-platform", "offscreen"}, 2, "", "usage: velmora (opens the window; takes no arguments)\n"},
        {{""}, 2, "", "usage: velmora (opens the window; takes no arguments)\n"},
    };
    for (const auto& row : rows) {
        Program program(row.args);
        std::string out, err;
        EXPECT_EQ(program.finish(out, err), row.status) << row.args.front();
        EXPECT_EQ(out, row.out) << row.args.front();
        EXPECT_EQ(err, row.err) << row.args.front();
    }
}

TEST(VelmoraProgram, AStopSignalClosesTheWindowAndEndsWithStatusZero)
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        Program program({});
        ASSERT_TRUE(program.stopSignalsBlocked());
        program.signal(number);
        std::string out, err;
        EXPECT_EQ(program.finish(out, err), 0) << strsignal(number) << "\n" << err;
    }
}

}  // namespace
}  // namespace velmora::test
