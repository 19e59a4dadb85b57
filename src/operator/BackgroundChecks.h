#pragma once
// Runs the operator's slow checks (a probe of the server, a look at who holds a port) one at a
// time on a thread of its own, so that neither the window nor the server waits for a network
// time-out; what each check found comes back to the main thread as a call for it to run.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

class TBackgroundChecks {
public:
    // A check: runs on the worker and answers the call that shows its result on the main thread.
    using TCheck = std::function<std::function<void()>()>;

    TBackgroundChecks();
    // Waits for the running check (every check is bounded in time); queued ones are dropped.
    ~TBackgroundChecks();
    TBackgroundChecks(const TBackgroundChecks&) = delete;
    TBackgroundChecks& operator=(const TBackgroundChecks&) = delete;

    // Queues the check, in place of a queued one of the same kind that has not started.
    void Run(const std::string& kind, TCheck check);
    // Main thread: the results that came back since the last call, in order.
    std::vector<std::function<void()>> TakeResults();
    // Waits until every queued check has run.
    void WaitIdle();

private:
    struct Queued {
        std::string kind;
        TCheck check;
    };
    void run();

    // Guards m_queue, m_results, m_busy and m_stopping.
    std::mutex m_checksMutex;
    std::condition_variable m_changed;
    std::deque<Queued> m_queue;
    std::vector<std::function<void()>> m_results;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_worker;
};

}  // namespace velmora
