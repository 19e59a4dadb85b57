#pragma once
// The operator's controls over a running program from outside its window: stop (Ctrl+C, and
// SIGTERM on POSIX systems; on Windows Ctrl+Break, closing the console window, log-off and shut-down
// too) and publish again (SIGHUP, which Windows lacks). One implementation per platform:
// ConsoleControlsPosix.cpp, ConsoleControlsWindows.cpp. Nothing runs in a signal handler.

#include <functional>
#include <memory>

namespace velmora {

enum class TConsoleControl { Stop, Republish };

class TConsoleControls {
public:
    using TOnControl = std::function<void(TConsoleControl)>;

    // Takes the controls from now on; make it before the program starts any other thread, so that
    // every thread leaves them to it. onControl runs on a thread of the controls' own and must
    // only hand the control over.
    explicit TConsoleControls(TOnControl onControl);
    // Tells the system that the exit has run (Windows waits for it, a little, after a console
    // window is closed or the session ends) and stops taking the controls.
    ~TConsoleControls();
    TConsoleControls(const TConsoleControls&) = delete;
    TConsoleControls& operator=(const TConsoleControls&) = delete;

    class TImpl;

private:
    std::unique_ptr<TImpl> m_impl;
};

}  // namespace velmora
