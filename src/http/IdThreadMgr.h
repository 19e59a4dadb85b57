#pragma once
// Makes and releases the threads of a server's connections.

#include <functional>
#include <memory>

#include "http/IdThread.h"

namespace velmora {

class TIdThreadMgr {
public:
    using ThreadFactory = std::function<std::unique_ptr<TIdThread>()>;

    virtual ~TIdThreadMgr() = default;

    ThreadFactory ThreadClass;

    // A new suspended thread from ThreadClass, recorded as active; the manager keeps ownership until
    // the thread is released.
    virtual TIdThread* getThread() = 0;
    // Does nothing for a thread not recorded. A thread releasing itself frees itself when it ends;
    // any other is terminated, awaited (unless never started) and freed.
    virtual void releaseThread(TIdThread& thread) = 0;
    virtual size_t activeCount() const = 0;
};

}  // namespace velmora
