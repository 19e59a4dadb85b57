#pragma once
// The operator's window on Windows, in the Windows API: port box, "Iniciar", status lamp and text,
// address, log and instructions at their stored places, and the operator's panel to their right.
// Like the Qt window on Linux it is only the view of the publish session.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "operator/PublishSession.h"
#include "publish/FormSupport.h"
#include "win/Controls.h"
#include "win/OperatorPanel.h"

namespace velmora {

// What tests put in place of the system's modal parts: the file dialog's choice and the shell's
// "open" of the hidden test button. Empty members keep the system's own.
struct TFormSeams {
    std::function<std::optional<std::string>(HWND owner)> ChooseFile;
    std::function<void(const std::string& target)> OpenInShell;
};

class TForm1 : private IPublishView {
public:
    static constexpr const wchar_t* ClassName = L"VelmoraForm1";
    static constexpr int ClientWidth = StoredClientWidth;
    static constexpr int ClientHeight = StoredClientHeight;
    static constexpr int LeftPosition = StoredLeft;
    static constexpr int TopPosition = StoredTop;
    static constexpr int WindowWidth = ClientWidth + OperatorPanelWidth;
    static constexpr int WindowHeight = ClientHeight;
    // The log is shown in batches at most this often, however fast lines arrive.
    static constexpr UINT LogRepaintIntervalMs = 200;

    // The stored controls' identifiers, in creation order.
    enum TControlId : int {
        IdLabel1 = 101,
        IdLabel2,
        IdLabel3,
        IdLabel4,
        IdShape1,
        IdLabel5,
        IdLabel6,
        IdButton1,
        IdEditPort,
        IdButtonIniciar,
        IdMemo1,
        IdMemo2,
    };

    // Creates the window hidden, with its controls and components, and starts the address watch.
    // Without an address source the watch asks the socket stack; without an interface source the
    // panel reads the machine's interfaces.
    explicit TForm1(TIdIPWatch::TAddressSource addressSource = {}, TFormSeams seams = {},
                    TInterfaceSource interfaces = {}, const TClock& clock = TClock::system());
    // Runs the exit order (Shutdown) before the window and its controls go.
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return m_window; }
    HWND Control(int id) const { return GetDlgItem(m_window, id); }
    // The DPI the controls are placed for: the monitor's, followed when the window moves.
    int Dpi() const { return m_scale.Dpi(); }
    COLORREF LampColor() const { return m_lampColor; }

    // The operator's panel's ticks stopped, then the session's exit order; answers whether it all
    // ended in order.
    bool Shutdown();

    TPublishController& Controller() { return m_session->Publisher(); }
    TOperatorController& Operator() { return *m_session->Operator(); }

    // The message loop of the program: Tab, Enter and the arrows as in a dialog, until the window
    // is closed; answers the exit status.
    static int RunMessageLoop(HWND window);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow();
    void createControls();
    void placeControls();
    void applyDpi(int dpi, const RECT* suggested);
    void command(int id, int notification);
    LRESULT staticColours(HDC dc, HWND control);
    void drawLamp(const DRAWITEMSTRUCT& item) const;
    void scheduleLogDrain();
    void drainLog();
    void trimLog();
    std::string programTitle() const;

    // IPublishView, on the window's thread.
    std::optional<std::string> ChooseScreenFile() override;
    std::string PortText() override;
    void ShowAddress(const std::string& address) override;
    void ShowServerActive() override;
    void ShowError(const std::string& text) override;

    TFormSeams m_seams;
    HWND m_window = nullptr;
    TDpiScale m_scale;
    TFont m_formFont, m_arial21, m_arial19;
    COLORREF m_lampColor;
    bool m_logDrainScheduled = false;
    // The log's lines that Memo1 holds.
    size_t m_logLines = 0;
    std::unique_ptr<TOperatorPanel> m_panel;
    std::unique_ptr<TPublishSession> m_session;
};

}  // namespace velmora
