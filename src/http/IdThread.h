#pragma once
// A thread of the server (listener, connection, session cleaner): made suspended, started once, then
// runs its step until stopped or terminated. Nothing escapes it: an exception that ends the loop is
// recorded and reported to OnException. A thread marked FreeOnTerminate frees itself when it ends.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>

#include "net/IdException.h"

namespace velmora {

class EIdThreadStartFailed : public EIdException {
public:
    using EIdException::EIdException;
};
// Stands for a thrown object that is no std::exception where an exception must be reported.
class EIdThreadUnknownException : public EIdException {
public:
    using EIdException::EIdException;
};

inline constexpr const char* RSThreadStartFailed = "Cannot start a thread.";
inline constexpr const char* RSThreadUnknownException = "An exception of an unknown kind.";
// Small stacks keep the start of a thread cheap and let the system cache many of them.
inline constexpr size_t IdThreadStackSizeDefault = 256 * 1024;

class TIdThread {
public:
    TIdThread();
    virtual ~TIdThread();
    TIdThread(const TIdThread&) = delete;
    TIdThread& operator=(const TIdThread&) = delete;

    size_t StackSize = IdThreadStackSizeDefault;
    bool FreeOnTerminate = false;
    // Told of the exception that ended the thread's loop; an exception it throws itself goes no further.
    std::function<void(TIdThread&, const std::exception&)> OnException;

    // The first call makes the system thread (EIdThreadStartFailed when the system refuses); a stopped,
    // not terminated thread goes on.
    void start();
    // Sets the stopped flag and terminates.
    void stop();
    void terminate();
    bool stopped() const;
    bool terminated() const;
    bool suspended() const;
    // Waits until the thread has ended; at once for a thread never started.
    void waitFor();
    // True on the thread's own system thread.
    bool isCurrentThread() const;

    std::string TerminatingExceptionClass() const;
    std::string TerminatingException() const;

    // How many TIdThread objects live in the process; waits up to timeoutMs for none to be left.
    static int liveCount();
    static bool waitForAllThreads(int timeoutMs);

protected:
    virtual void beforeRun() {}
    virtual void run() = 0;
    virtual void afterRun() {}
    virtual void cleanup() {}
    // Sleeps up to ms; answers false when terminated meanwhile.
    bool sleepUnlessTerminated(int ms);

private:
    static void* entry(void* self);
    // Makes the system thread that runs execute(); false when the system refuses.
    bool createSystemThread(pthread_t& thread);
    void execute();
    // Runs one piece of the thread's life; whatever it throws is recorded, and ends the loop when asked.
    template <class Piece>
    void guarded(Piece piece, bool terminateOnException);
    void recordException(const std::exception& error);
    // Records the exception being handled (any kind) and reports it to OnException.
    void recordCurrentException();

    // Guards the flags below and the recorded exception; m_wake signals their changes.
    mutable std::mutex m_stateMutex;
    std::condition_variable m_wake;
    pthread_t m_thread{};
    // Set by the system thread itself as it begins.
    std::optional<pthread_t> m_self;
    bool m_creating = false;
    bool m_created = false;
    bool m_joined = false;
    bool m_stopped = true;
    bool m_terminated = false;
    bool m_finished = false;
    std::string m_exceptionClass;
    std::string m_exceptionMessage;
};

}  // namespace velmora
