#include "publish/ConsoleLog.h"

#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>

namespace velmora {

namespace {

// How long one wait for the descriptor lasts before the writer looks at the stop request again.
constexpr int WritablePollMs = 100;

}  // namespace

TConsoleLog::TConsoleLog(TLogQueue& queue, int fd) : m_queue(queue), m_fd(fd)
{
    m_queue.OnPending = [this] {
        {
            std::lock_guard lock(m_stateMutex);
            m_wanted = true;
        }
        m_wake.notify_one();
    };
    m_writer = std::thread([this] { run(); });
}

TConsoleLog::~TConsoleLog()
{
    Stop();
    m_queue.OnPending = nullptr;
}

void TConsoleLog::Stop(std::chrono::milliseconds grace)
{
    {
        std::lock_guard lock(m_stateMutex);
        if (!m_stopping) {
            m_stopping = true;
            m_stopDeadline = std::chrono::steady_clock::now() + grace;
        }
    }
    m_wake.notify_one();
    if (m_writer.joinable())
        m_writer.join();
}

void TConsoleLog::run()
{
    for (;;) {
        bool stopping;
        {
            std::unique_lock lock(m_stateMutex);
            m_wake.wait(lock, [this] { return m_wanted || m_stopping; });
            m_wanted = false;
            stopping = m_stopping;
        }
        for (const std::string& line : m_queue.Take())
            if (!writeAll(line + "\n", writeDeadline()))
                return;
        if (stopping)
            return;
    }
}

std::chrono::steady_clock::time_point TConsoleLog::writeDeadline()
{
    std::lock_guard lock(m_stateMutex);
    return m_stopping ? m_stopDeadline : std::chrono::steady_clock::time_point::max();
}

bool TConsoleLog::writeAll(const std::string& bytes, std::chrono::steady_clock::time_point deadline)
{
    size_t done = 0;
    while (done < bytes.size()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        pollfd ready{m_fd, POLLOUT, 0};
        int polled = ::poll(&ready, 1, WritablePollMs);
        if (polled < 0 && errno != EINTR)
            return false;
        if (polled <= 0) {
            deadline = std::min(deadline, writeDeadline());
            continue;
        }
        if (ready.revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
        // At most PIPE_BUF at a time: a pipe that polls writable takes that much without blocking.
        size_t chunk = std::min<size_t>(bytes.size() - done, PIPE_BUF);
        ssize_t put = ::write(m_fd, bytes.data() + done, chunk);
        if (put < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (put > 0)
            done += static_cast<size_t>(put);
    }
    return true;
}

}  // namespace velmora
