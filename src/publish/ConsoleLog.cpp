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
            // The lines of a burst of requests gather for a moment and go out in one write: one
            // wake of this thread for many lines instead of one for each, every line whole. A
            // stop ends the pause at once.
            m_wake.wait_for(lock, ConsoleLogGatherTime, [this] { return m_stopping; });
            m_wanted = false;
            stopping = m_stopping;
        }
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
