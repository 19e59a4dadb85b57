#pragma once
// The thread manager without a pool: every connection gets a fresh thread, freed when it ends.

#include <mutex>
#include <unordered_map>

#include "http/IdThreadMgr.h"

namespace velmora {

class TIdThreadMgrDefault : public TIdThreadMgr {
public:
    ~TIdThreadMgrDefault() override;

    TIdThread* getThread() override;
    void releaseThread(TIdThread& thread) override;
    size_t activeCount() const override;

private:
    // Guards m_activeThreads.
    mutable std::mutex m_activeThreadsMutex;
    std::unordered_map<TIdThread*, std::unique_ptr<TIdThread>> m_activeThreads;
};

}  // namespace velmora
