#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"

extern char** environ;

namespace velmora::test {

namespace {

std::string readToEnd(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

}  // namespace

class ChildProcess::Impl {
public:
    pid_t pid = -1;
    int out = -1, err = -1;
    std::thread drainer;
};

ChildProcess::ChildProcess(const char* program, std::vector<std::string> args, int outputPipeSize,
                           const std::string& inputFile)
    : m_impl(std::make_unique<Impl>())
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
    if (!inputFile.empty())
        posix_spawn_file_actions_addopen(&actions, 0, inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    EXPECT_EQ(::posix_spawn(&m_impl->pid, program, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_impl->out = out[0];
    m_impl->err = err[0];
}

ChildProcess::~ChildProcess()
{
    if (m_impl->pid > 0) {
        ::kill(m_impl->pid, SIGKILL);
        ::waitpid(m_impl->pid, nullptr, 0);
    }
    if (m_impl->drainer.joinable())
        m_impl->drainer.join();
    ::close(m_impl->out);
    ::close(m_impl->err);
}

void ChildProcess::drainOutput()
{
    m_impl->drainer = std::thread([fd = m_impl->out] {
        char buffer[4096];
        while (::read(fd, buffer, sizeof buffer) > 0) {}
    });
}

std::optional<std::string> ChildProcess::nextLine(std::chrono::milliseconds limit)
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
        pollfd ready{m_impl->out, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char buffer[4096];
        ssize_t got = ::read(m_impl->out, buffer, sizeof buffer);
        if (got <= 0)
            return std::nullopt;
        m_pending.append(buffer, static_cast<size_t>(got));
    }
}

void ChildProcess::stop()
{
    ::kill(m_impl->pid, SIGTERM);
}

bool ChildProcess::interrupt()
{
    ::kill(m_impl->pid, SIGINT);
    return true;
}

void ChildProcess::hangUp()
{
    ::kill(m_impl->pid, SIGHUP);
}

bool ChildProcess::CanHangUp()
{
    return true;
}

// A POSIX session's end is a hang-up, which the program takes to publish again.
void ChildProcess::endSession()
{
}

bool ChildProcess::CanEndSession()
{
    return false;
}

int ChildProcess::wait(std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(m_impl->pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_impl->pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ChildProcess::errors()
{
    return readToEnd(m_impl->err);
}

std::string ChildProcess::output()
{
    return m_pending + readToEnd(m_impl->out);
}

int ChildProcess::pid() const
{
    return m_impl->pid;
}

}  // namespace velmora::test
