#include "http/IdThreadMgrDefault.h"

namespace velmora {

TIdThreadMgrDefault::~TIdThreadMgrDefault()
{
    std::unordered_map<TIdThread*, std::unique_ptr<TIdThread>> left;
    {
        std::lock_guard<std::mutex> guard(m_activeThreadsMutex);
        left.swap(m_activeThreads);
    }
    for (auto& [raw, thread] : left) {
        thread->terminate();
        thread->waitFor();
    }
}

TIdThread* TIdThreadMgrDefault::getThread()
{
    std::unique_ptr<TIdThread> thread = ThreadClass();
    TIdThread* raw = thread.get();
    std::lock_guard<std::mutex> guard(m_activeThreadsMutex);
    m_activeThreads.emplace(raw, std::move(thread));
    return raw;
}

void TIdThreadMgrDefault::releaseThread(TIdThread& thread)
{
    std::unique_ptr<TIdThread> owned;
    {
        std::lock_guard<std::mutex> guard(m_activeThreadsMutex);
        auto found = m_activeThreads.find(&thread);
        if (found == m_activeThreads.end())
            return;
        owned = std::move(found->second);
        m_activeThreads.erase(found);
    }
    if (thread.isCurrentThread()) {
        thread.FreeOnTerminate = true;
        thread.terminate();
        // The thread frees itself when it ends: ownership passes to it.
        (void)owned.release();
        return;
    }
    thread.terminate();
    thread.waitFor();
}

size_t TIdThreadMgrDefault::activeCount() const
{
    std::lock_guard<std::mutex> guard(m_activeThreadsMutex);
    return m_activeThreads.size();
}

}  // namespace velmora
