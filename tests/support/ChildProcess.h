#pragma once
// Runs one of the project's programs as a child process for a test, with its stdout and stderr on
// pipes; the child is killed if the test ends before it does.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace velmora::test {

// A program of ours as a child process whose output the test reads: line by line as it comes, or
// whole once it has ended.
class ChildProcess {
public:
    // outputPipeSize, when not 0, shrinks the pipe of stdout to that many bytes.
    ChildProcess(const char* program, std::vector<std::string> args, int outputPipeSize = 0)
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
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&m_pid, program, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess()
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
            while (::read(m_out, buffer, sizeof buffer) > 0) {}
        });
    }

    // The next whole line of stdout, or none when the time passes or the output ends.
    std::optional<std::string> nextLine(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            size_t end = m_pending.find('\n');
            if (end != std::string::npos) {
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 1);
                return line;
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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
    bool waitForLine(const std::string& wanted) { return waitForPrefix(wanted, true).has_value(); }
    // The next line that begins with the prefix (or equals it, when whole is set).
    std::optional<std::string> waitForPrefix(const std::string& prefix, bool whole = false)
    {
        while (auto line = nextLine())
            if (whole ? *line == prefix : line->rfind(prefix, 0) == 0)
                return line;
        return std::nullopt;
    }
    void signal(int number) { ::kill(m_pid, number); }
    // The exit status, or -1 when the process did not end within the time.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // What is left on stderr, or on stdout; read to the end, so only once the process has ended.
    std::string errors() { return readToEnd(m_err); }
    std::string output() { return m_pending + readToEnd(m_out); }
    pid_t pid() const { return m_pid; }

private:
    static std::string readToEnd(int fd)
    {
        std::string text;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(got));
        return text;
    }

    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    std::string m_pending;
    std::thread m_drainer;
};

}  // namespace velmora::test
