#include <windows.h>

#include <atomic>
#include <thread>

#include "publish/ConsoleControls.h"

namespace velmora {

namespace {

// Windows ends the process this long after a console window closes or the session ends: the
// program's exit must be done within it.
constexpr DWORD ExitAllowanceMs = 4500;

constexpr const wchar_t* SessionWindowClass = L"VelmoraSessionEnd";

}  // namespace

// Ctrl+C, Ctrl+Break and a closed console window come to the console handler, on a thread the
// system makes. Log-off and shut-down reach a program that has loaded the window library only as
// end-session messages, which a hidden window on a thread of its own receives.
class TConsoleControls::TImpl {
public:
    explicit TImpl(TOnControl onControl) : m_onControl(std::move(onControl))
    {
        m_exited = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        s_current.store(this);
        ::SetConsoleCtrlHandler(&TImpl::onConsoleEvent, TRUE);
        HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_sessionThread = std::thread([this, ready] { runSessionWindow(ready); });
        ::WaitForSingleObject(ready, INFINITE);
        ::CloseHandle(ready);
    }
    ~TImpl()
    {
        ::SetEvent(m_exited);
        if (m_window)
            ::PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_sessionThread.join();
        ::SetConsoleCtrlHandler(&TImpl::onConsoleEvent, FALSE);
        s_current.store(nullptr);
        ::CloseHandle(m_exited);
    }
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;

private:
    // Stops the program and, where Windows ends the process once this returns, waits for the exit
    // to run first.
    void stopAndWait(bool processEndsAfter)
    {
        m_onControl(TConsoleControl::Stop);
        if (processEndsAfter)
            ::WaitForSingleObject(m_exited, ExitAllowanceMs);
    }

    static BOOL WINAPI onConsoleEvent(DWORD event)
    {
        TImpl* self = s_current.load();
        if (!self)
            return FALSE;
        self->stopAndWait(event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT);
        return TRUE;
    }

    static LRESULT CALLBACK onSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        TImpl* self = s_current.load();
        switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam && self)
                self->stopAndWait(true);
            return 0;
        case WM_CLOSE:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void runSessionWindow(HANDLE ready)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &TImpl::onSessionMessage;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = SessionWindowClass;
        ::RegisterClassW(&windowClass);
        // A top-level window that is never shown: message-only windows get no end-session messages.
        m_window = ::CreateWindowExW(0, SessionWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
        ::SetEvent(ready);
        if (!m_window)
            return;
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    inline static std::atomic<TImpl*> s_current{nullptr};
    TOnControl m_onControl;
    HANDLE m_exited = nullptr;
    std::atomic<HWND> m_window{nullptr};
    std::thread m_sessionThread;
};

TConsoleControls::TConsoleControls(TOnControl onControl) : m_impl(std::make_unique<TImpl>(std::move(onControl)))
{
}

TConsoleControls::~TConsoleControls() = default;

}  // namespace velmora
