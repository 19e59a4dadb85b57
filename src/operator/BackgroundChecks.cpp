#include "operator/BackgroundChecks.h"

#include <algorithm>
#include <utility>

namespace velmora {

TBackgroundChecks::TBackgroundChecks() : m_worker([this] { run(); })
{
}

TBackgroundChecks::~TBackgroundChecks()
{
    {
        std::lock_guard lock(m_checksMutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    m_worker.join();
}

void TBackgroundChecks::Run(const std::string& kind, TCheck check)
{
    {
        std::lock_guard lock(m_checksMutex);
        auto same =
            std::find_if(m_queue.begin(), m_queue.end(), [&](const Queued& queued) { return queued.kind == kind; });
        if (same != m_queue.end())
            same->check = std::move(check);
        else
            m_queue.push_back({kind, std::move(check)});
    }
    m_changed.notify_all();
}

std::vector<std::function<void()>> TBackgroundChecks::TakeResults()
{
    std::lock_guard lock(m_checksMutex);
    return std::exchange(m_results, {});
}

void TBackgroundChecks::WaitIdle()
{
    std::unique_lock lock(m_checksMutex);
    m_changed.wait(lock, [this] { return m_stopping || (m_queue.empty() && !m_busy); });
}

void TBackgroundChecks::run()
{
    std::unique_lock lock(m_checksMutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        TCheck check = std::move(m_queue.front().check);
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        std::function<void()> result;
        try {
            result = check();
        } catch (...) {
            // A check that could not finish shows nothing; the worker goes on with the next.
        }
        lock.lock();
        m_busy = false;
        if (result)
            m_results.push_back(std::move(result));
        m_changed.notify_all();
    }
}

}  // namespace velmora
