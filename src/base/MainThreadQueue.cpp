#include "base/MainThreadQueue.h"

namespace velmora {

void TMainThreadQueue::Synchronize(std::function<void()> call)
{
    auto pending = std::make_shared<Pending>();
    pending->call = std::move(call);
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.push_back(pending);
    }
    m_changed.notify_all();
    if (OnPending)
        OnPending();
    std::exception_ptr error;
    {
        std::unique_lock lock(m_queueMutex);
        m_changed.wait(lock, [&] { return pending->finished; });
        // Taken out under the lock, so that this thread holds the last reference to the
        // exception and the main thread never frees it while this thread still reads it.
        error = std::move(pending->error);
    }
    if (error)
        std::rethrow_exception(error);
}

size_t TMainThreadQueue::ProcessPending()
{
    std::deque<std::shared_ptr<Pending>> batch;
    {
        std::lock_guard lock(m_queueMutex);
        batch.swap(m_queue);
    }
    for (auto& pending : batch) {
        try {
            pending->call();
        } catch (...) {
            pending->error = std::current_exception();
        }
        std::lock_guard lock(m_queueMutex);
        pending->finished = true;
    }
    if (!batch.empty())
        m_changed.notify_all();
    return batch.size();
}

bool TMainThreadQueue::WaitWhileServing(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(m_queueMutex);
            seen = m_wakeups;
        }
        ProcessPending();
        if (done())
            return true;
        std::unique_lock lock(m_queueMutex);
        if (!m_changed.wait_until(lock, deadline, [&] { return !m_queue.empty() || m_wakeups != seen; })) {
            lock.unlock();
            ProcessPending();
            return done();
        }
    }
}

void TMainThreadQueue::Wake()
{
    {
        std::lock_guard lock(m_queueMutex);
        ++m_wakeups;
    }
    m_changed.notify_all();
}

}  // namespace velmora
