#pragma once
// Hands calls from worker threads to the main thread and waits until they have run there.
// The main thread runs them from its event loop, and also while it waits for a worker to end,
// so that stopping a worker from the main thread can never deadlock with a pending hand-over.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace velmora {

class TMainThreadQueue {
public:
    // Told, from the handing thread, that a call is waiting; the window uses it to schedule
    // ProcessPending on its own thread. Set it before any worker starts.
    std::function<void()> OnPending;

    // Worker side: runs the call on the main thread and returns once it has run. An exception
    // that the call raises is re-raised here.
    void Synchronize(std::function<void()> call);

    // Main-thread side: runs every call waiting now; answers how many ran.
    size_t ProcessPending();

    // Main-thread side: runs waiting calls until done() holds or the time limit passes;
    // answers whether done() holds. done() is checked after each wake-up.
    bool WaitWhileServing(const std::function<bool()>& done, std::chrono::milliseconds limit);

    // Wakes a WaitWhileServing so that it checks its condition again.
    void Wake();

private:
    struct Pending {
        std::function<void()> call;
        std::exception_ptr error;
        bool finished = false;
    };

    // Guards m_queue, m_wakeups and each pending call's error and finished flag; m_changed signals
    // a call queued or finished and a wake-up.
    std::mutex m_queueMutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Pending>> m_queue;
    uint64_t m_wakeups = 0;
};

}  // namespace velmora
