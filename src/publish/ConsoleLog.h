#pragma once
// Writes the operator's log to a console output (the headless server's stdout) on a thread of its
// own, so that a terminal or pipe that stops reading holds up only this thread, never the threads
// that append; at exit it flushes what it can within a grace time and gives up on the rest.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "publish/ConsoleOutput.h"
#include "publish/LogQueue.h"

namespace velmora {

// How long the writer lets lines gather after the first before it writes them: short enough that
// the operator sees no delay.
inline constexpr std::chrono::milliseconds ConsoleLogGatherTime{50};

class TConsoleLog {
public:
    // Takes over the queue's OnPending; lines appended from now on reach the descriptor's output.
    TConsoleLog(TLogQueue& queue, int descriptor);
    // Stops with the default grace time.
    ~TConsoleLog();
    TConsoleLog(const TConsoleLog&) = delete;
    TConsoleLog& operator=(const TConsoleLog&) = delete;

    // Writes what is still queued, waiting at most grace for the output, and ends the thread.
    void Stop(std::chrono::milliseconds grace = std::chrono::seconds(1));

private:
    void run();
    std::chrono::steady_clock::time_point writeDeadline();

    TLogQueue& m_queue;
    const std::unique_ptr<TConsoleOutput> m_output;
    // Guards m_wanted, m_stopping and m_stopDeadline, the writer thread's wake-up conditions.
    std::mutex m_stateMutex;
    std::condition_variable m_wake;
    bool m_wanted = false;
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_stopDeadline;
    bool m_finished = false;
    std::condition_variable m_finishedChanged;
    std::thread m_writer;
};

}  // namespace velmora
