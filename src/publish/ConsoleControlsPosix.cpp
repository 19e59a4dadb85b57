#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>

#include "publish/ConsoleControls.h"

namespace velmora {

namespace {

// Hang-up, interrupt and terminate: blocked in every thread and taken by one waiting thread.
sigset_t controlSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

class TConsoleControls::TImpl {
public:
    explicit TImpl(TOnControl onControl) : m_onControl(std::move(onControl))
    {
        sigset_t signals = controlSignals();
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        m_waiter = std::thread([this] { run(); });
    }
    ~TImpl()
    {
        // Not a kill: the waiter takes this SIGTERM from sigwait, as it takes one from outside,
        // and ends; one that has ended already leaves it pending in a thread that is gone.
        if (!m_ended)
            ::pthread_kill(m_waiter.native_handle(), SIGTERM);  // NOLINT(bugprone-bad-signal-to-kill-thread)
        m_waiter.join();
    }
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;

private:
    void run()
    {
        const sigset_t signals = controlSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) != 0)
                continue;
            if (signal == SIGHUP) {
                m_onControl(TConsoleControl::Republish);
                continue;
            }
            m_ended = true;
            m_onControl(TConsoleControl::Stop);
            return;
        }
    }

    TOnControl m_onControl;
    std::atomic<bool> m_ended{false};
    std::thread m_waiter;
};

TConsoleControls::TConsoleControls(TOnControl onControl) : m_impl(std::make_unique<TImpl>(std::move(onControl)))
{
}

TConsoleControls::~TConsoleControls() = default;

}  // namespace velmora
