#include "http/IdThread.h"

#include <chrono>
#include <typeinfo>

namespace velmora {

namespace {

int g_liveThreads = 0;

// Guards g_liveThreads. Made on first use, so a thread made by another static object finds it
// ready, and never destroyed, like the condition below.
std::mutex& liveThreadsMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

// Never destroyed: a thread that frees itself may still count down while the process ends.
std::condition_variable& liveThreadsChanged()
{
    static auto* changed = new std::condition_variable;
    return *changed;
}

}  // namespace

TIdThread::TIdThread()
{
    std::lock_guard<std::mutex> guard(liveThreadsMutex());
    ++g_liveThreads;
}

TIdThread::~TIdThread()
{
    if (m_created && !m_joined && !FreeOnTerminate)
        waitFor();
    std::lock_guard<std::mutex> guard(liveThreadsMutex());
    --g_liveThreads;
    liveThreadsChanged().notify_all();
}

int TIdThread::liveCount()
{
    std::lock_guard<std::mutex> guard(liveThreadsMutex());
    return g_liveThreads;
}

bool TIdThread::waitForAllThreads(int timeoutMs)
{
    std::unique_lock<std::mutex> guard(liveThreadsMutex());
    return liveThreadsChanged().wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                         [] { return g_liveThreads == 0; });
}

void TIdThread::start()
{
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        if (!m_terminated)
            m_stopped = false;
        if (m_created || m_creating) {
            m_wake.notify_all();
            return;
        }
        m_creating = true;
    }
    // Made without the lock held: the new thread takes it as it begins, and on another core it
    // would otherwise often find it held and have to sleep and be woken again.
    pthread_t thread{};
    const bool failed = !createSystemThread(thread);
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_creating = false;
        if (failed) {
            m_stopped = true;
        } else {
            m_thread = thread;
            m_created = true;
        }
        m_wake.notify_all();
    }
    if (failed)
        throw EIdThreadStartFailed(RSThreadStartFailed);
}

bool TIdThread::createSystemThread(pthread_t& thread)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, StackSize);
    if (FreeOnTerminate)
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    const int failed = pthread_create(&thread, &attributes, &TIdThread::entry, this);
    pthread_attr_destroy(&attributes);
    return failed == 0;
}

void TIdThread::stop()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    m_stopped = true;
    m_terminated = true;
    m_wake.notify_all();
}

void TIdThread::terminate()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    m_terminated = true;
    m_wake.notify_all();
}

bool TIdThread::stopped() const
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_stopped;
}

bool TIdThread::terminated() const
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_terminated;
}

bool TIdThread::suspended() const
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return !m_created || (m_stopped && !m_terminated && !m_finished);
}

void TIdThread::waitFor()
{
    {
        std::unique_lock<std::mutex> guard(m_stateMutex);
        m_wake.wait(guard, [this] { return !m_creating; });
        if (!m_created || m_joined || FreeOnTerminate)
            return;
        m_joined = true;
        m_terminated = true;
        m_wake.notify_all();
    }
    pthread_join(m_thread, nullptr);
}

bool TIdThread::isCurrentThread() const
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_self && pthread_equal(*m_self, pthread_self());
}

std::string TIdThread::TerminatingExceptionClass() const
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_exceptionClass;
}

std::string TIdThread::TerminatingException() const
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_exceptionMessage;
}

bool TIdThread::sleepUnlessTerminated(int ms)
{
    std::unique_lock<std::mutex> guard(m_stateMutex);
    return !m_wake.wait_for(guard, std::chrono::milliseconds(ms), [this] { return m_terminated; });
}

void TIdThread::recordException(const std::exception& error)
{
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_exceptionClass = typeid(error).name();
        m_exceptionMessage = error.what();
    }
    try {
        if (OnException)
            OnException(*this, error);
    } catch (...) {
        // The report failed; the thread must still end its loop in order and free what it holds.
    }
}

void TIdThread::recordCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        recordException(error);
    } catch (...) {
        recordException(EIdThreadUnknownException(RSThreadUnknownException));
    }
}

template <class Piece>
void TIdThread::guarded(Piece piece, bool terminateOnException)
{
    try {
        piece();
    } catch (...) {
        recordCurrentException();
        if (terminateOnException)
            terminate();
    }
}

void* TIdThread::entry(void* self)
{
    static_cast<TIdThread*>(self)->execute();
    return nullptr;
}

void TIdThread::execute()
{
    {
        // The thread knows itself at once, even before start() has taken in what the system made.
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_self = pthread_self();
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(m_stateMutex);
            m_wake.wait(guard, [this] { return !m_stopped || m_terminated; });
            if (m_terminated)
                break;
        }
        guarded(
            [this] {
                beforeRun();
                while (!stopped())
                    run();
            },
            true);
        guarded([this] { afterRun(); }, true);
    }
    guarded([this] { cleanup(); }, false);
    bool freeSelf;
    {
        std::unique_lock<std::mutex> guard(m_stateMutex);
        m_finished = true;
        freeSelf = FreeOnTerminate;
        // start() may still be writing what the system made into this object.
        if (freeSelf)
            m_wake.wait(guard, [this] { return !m_creating; });
    }
    if (freeSelf) {
        if (!m_joined)
            pthread_detach(pthread_self());
        delete this;
    }
}

}  // namespace velmora
