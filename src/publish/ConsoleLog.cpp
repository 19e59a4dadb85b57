#include "publish/ConsoleLog.h"

namespace velmora {

TConsoleLog::TConsoleLog(TLogQueue& queue, int descriptor) : m_queue(queue), m_output(OpenConsoleOutput(descriptor))
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
        std::unique_lock lock(m_stateMutex);
        if (!m_stopping) {
            m_stopping = true;
            m_stopDeadline = std::chrono::steady_clock::now() + grace;
        }
        m_wake.notify_one();
        // A write that waits on an output which ignores the deadline (a console window held by
        // the operator's selection) is cancelled once the grace time is over.
        if (!m_finishedChanged.wait_until(lock, m_stopDeadline, [this] { return m_finished; }))
            m_output->Cancel();
    }
    if (m_writer.joinable())
        m_writer.join();
}

void TConsoleLog::run()
{
    for (bool stopping = false; !stopping;) {
        {
            std::unique_lock lock(m_stateMutex);
            m_wake.wait(lock, [this] { return m_wanted || m_stopping; });
            m_wanted = false;
            stopping = m_stopping;
        }
        // What came in since the last wake goes out in one write: under a burst of requests that is
        // one system call for many lines instead of a wait and a write for each, every line whole.
        std::string lines;
        for (const std::string& line : m_queue.Take())
            lines.append(line).append(1, '\n');
        if (!lines.empty() && !m_output->WriteAll(lines, [this] { return writeDeadline(); }))
            break;
    }
    std::lock_guard lock(m_stateMutex);
    m_finished = true;
    m_finishedChanged.notify_all();
}

std::chrono::steady_clock::time_point TConsoleLog::writeDeadline()
{
    std::lock_guard lock(m_stateMutex);
    return m_stopping ? m_stopDeadline : std::chrono::steady_clock::time_point::max();
}

}  // namespace velmora
