#include "win/Main.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <iostream>
#include <iterator>

#include "base/Utf16.h"
#include "publish/FormSupport.h"
#include "publish/Limits.h"
#include "publish/Unit_Const.h"

namespace velmora {

namespace {

constexpr COLORREF LampInactive = RGB(255, 0, 0);
constexpr COLORREF LampActive = RGB(0, 128, 0);

// Messages that other threads post to the window: log lines are waiting, a call waits for the
// main thread.
constexpr UINT WM_LOG_PENDING = WM_APP + 1;
constexpr UINT WM_CALL_PENDING = WM_APP + 2;
constexpr UINT_PTR LogTimer = 1;
constexpr UINT_PTR TickTimer = 2;

constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

enum class TFontKind { Form, Arial21, Arial19 };

// The stored description of a control: its place at 96 DPI, its window class and styles, its text
// and font.
struct TStoredControl {
    int Id;
    const wchar_t* ClassName;
    RECT Place;
    DWORD Style;
    DWORD ExStyle;
    const char* Text;
    TFontKind Font;
};

constexpr DWORD LabelStyle = WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
constexpr DWORD MemoStyle = WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;

// Creation order is tab order: Button1 first (hidden, so Tab passes it), then the port, the button
// and the two memos.
const TStoredControl StoredControls[] = {
    {TForm1::IdLabel1, L"STATIC", Bounds(144, 232, 318, 24), LabelStyle, 0, nullptr, TFontKind::Arial21},
    {TForm1::IdLabel2, L"STATIC", Bounds(176, 56, 96, 13), LabelStyle, 0, "Status do Programa:", TFontKind::Form},
    {TForm1::IdLabel3, L"STATIC", Bounds(32, 232, 102, 24), LabelStyle, 0, "Endereço: ", TFontKind::Arial21},
    {TForm1::IdLabel4, L"STATIC", Bounds(32, 64, 28, 13), LabelStyle, 0, "Porta:", TFontKind::Form},
    {TForm1::IdShape1, L"STATIC", Bounds(120, 136, 41, 41), WS_VISIBLE | SS_OWNERDRAW, 0, "", TFontKind::Form},
    {TForm1::IdLabel5, L"STATIC", Bounds(32, 184, 137, 13), LabelStyle, 0, SServidorInativo, TFontKind::Form},
    {TForm1::IdLabel6, L"STATIC", Bounds(16, 24, 365, 22), LabelStyle, 0, "Servidor de Interfaces VelmScreen - Apple",
     TFontKind::Arial19},
    {TForm1::IdButton1, L"BUTTON", Bounds(392, 8, 75, 25), WS_TABSTOP | BS_DEFPUSHBUTTON, 0, "Test", TFontKind::Form},
    {TForm1::IdEditPort, L"EDIT", Bounds(32, 80, 81, 21), WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
     SDefaultPortText, TFontKind::Form},
    {TForm1::IdButtonIniciar, L"BUTTON", Bounds(32, 144, 75, 25), WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, "Iniciar",
     TFontKind::Form},
    {TForm1::IdMemo1, L"EDIT", Bounds(176, 72, 273, 145), MemoStyle, WS_EX_CLIENTEDGE, "", TFontKind::Form},
    {TForm1::IdMemo2, L"EDIT", Bounds(16, 272, 449, 97), MemoStyle | WS_VSCROLL, WS_EX_CLIENTEDGE, nullptr,
     TFontKind::Form},
};

// A filter of "description|patterns" pairs as the Windows API takes it: each "|" a null, a null
// after the last pair (the string's own ends it). The system matches names in any letter case.
std::wstring dialogFilter(const char* filter)
{
    std::wstring pairs = WideOf(filter);
    std::replace(pairs.begin(), pairs.end(), L'|', L'\0');
    pairs.push_back(L'\0');
    return pairs;
}

std::string memo2Text()
{
    std::string text;
    for (const char* line : Memo2Lines) {
        if (!text.empty() || line != Memo2Lines[0])
            text += "\r\n";
        text += line;
    }
    return text;
}

std::string initialText(const TStoredControl& stored)
{
    if (stored.Id == TForm1::IdLabel1)
        return std::string(53, ' ');
    if (stored.Id == TForm1::IdMemo2)
        return memo2Text();
    return stored.Text;
}

void registerWindowClass(WNDPROC procedure)
{
    static const bool registered = [procedure] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        // The program's own icon where the executable carries one; the system's otherwise.
        windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = TForm1::ClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

TForm1::TForm1(TIdIPWatch::TAddressSource addressSource, TFormSeams seams, TInterfaceSource interfaces,
               const TClock& clock)
    : m_seams(std::move(seams)), m_lampColor(LampInactive)
{
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    createWindow();
    createControls();
    // Beside the stored controls, after them in creation and tab order.
    m_panel = std::make_unique<TOperatorPanel>(m_window, clock);
    applyDpi(static_cast<int>(GetDpiForWindow(m_window)), nullptr);

    m_session = std::make_unique<TPublishSession>(static_cast<IPublishView&>(*this), m_panel.get(),
                                                  std::move(addressSource), std::move(interfaces), clock);
    // Both hooks run on other threads: they only post a message to this window, never wait.
    Controller().MainThread().OnPending = [window = m_window] { PostMessageW(window, WM_CALL_PENDING, 0, 0); };
    Controller().Log().OnPending = [window = m_window] { PostMessageW(window, WM_LOG_PENDING, 0, 0); };
    Operator().SetRepublishOnSave(m_panel->RepublishOnSave());
    m_panel->OnAddressChosen = [this](const std::string& address) {
        // The entry of the default address chooses the default itself, so that the choice follows
        // the default route again when it moves.
        std::optional<std::string> chosen = address;
        if (chosen == Operator().DefaultChoice())
            chosen.reset();
        Operator().ChooseAddress(chosen);
    };
    m_panel->OnRepublishToggled = [this](bool on) { Operator().SetRepublishOnSave(on); };
    SetTimer(m_window, TickTimer, static_cast<UINT>(OperatorTickInterval.count()), nullptr);
    m_session->Start();
}

TForm1::~TForm1()
{
    Shutdown();
    m_session->ExitIfThreadsOutlivedAfterWindow();
    // Nothing runs on another thread any more: the session goes before the window and its controls.
    m_session.reset();
    DestroyWindow(m_window);
}

void TForm1::createWindow()
{
    registerWindowClass(&TForm1::WindowProc);
    m_window = CreateWindowExW(0, ClassName, WideOf(SFormCaption).c_str(), WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_window)
        throw Exception("The window could not be created.");
}

void TForm1::createControls()
{
    for (const TStoredControl& stored : StoredControls) {
        HWND control =
            CreateChild(m_window, stored.ClassName, stored.Id, stored.Style, stored.ExStyle, initialText(stored));
        if (stored.ClassName == std::wstring_view(L"EDIT") && (stored.Style & ES_MULTILINE))
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    }
}

// Fonts and places for the DPI of the window's monitor; the window keeps its client size in
// stored pixels scaled the same way.
void TForm1::applyDpi(int dpi, const RECT* suggested)
{
    m_scale = TDpiScale(dpi);
    m_formFont = TFont(L"MS Sans Serif", 11, m_scale);
    m_arial21 = TFont(L"Arial", 21, m_scale);
    m_arial19 = TFont(L"Arial", 19, m_scale);
    placeControls();
    m_panel->Place(m_scale, m_formFont);

    RECT frame{0, 0, m_scale(WindowWidth), m_scale(WindowHeight)};
    AdjustWindowRectExForDpi(&frame, WindowStyle, FALSE, 0, static_cast<UINT>(dpi));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int left, top;
    if (suggested) {
        left = suggested->left;
        top = suggested->top;
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        left = FittedLeft(m_scale(LeftPosition), width, work.left, work.right - work.left);
        top = FittedLeft(m_scale(TopPosition), height, work.top, work.bottom - work.top);
    }
    SetWindowPos(m_window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the frame the system draws differs from the one computed for the DPI (a window that
    // has not moved to the monitor yet), the client area still gets its stored size.
    RECT client{};
    GetClientRect(m_window, &client);
    const int missingWidth = m_scale(WindowWidth) - client.right, missingHeight = m_scale(WindowHeight) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0)
        SetWindowPos(m_window, nullptr, 0, 0, width + missingWidth, height + missingHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    InvalidateRect(m_window, nullptr, TRUE);
}

void TForm1::placeControls()
{
    for (const TStoredControl& stored : StoredControls) {
        HWND control = Control(stored.Id);
        PlaceChild(control, m_scale(stored.Place));
        SetControlFont(control,
                       stored.Font == TFontKind::Arial21       ? m_arial21
                           : stored.Font == TFontKind::Arial19 ? m_arial19
                                                               : m_formFont);
    }
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // The controls are made during construction; messages before the panel exists take the defaults.
    if (!form || !form->m_panel)
        return DefWindowProcW(window, message, wParam, lParam);
    try {
        return form->handle(message, wParam, lParam);
    } catch (const std::exception& error) {
        // An error that a handler lets through is reported and the window goes on waiting for input.
        form->ShowError(ErrorReportText(error.what()));
        return 0;
    }
}

LRESULT TForm1::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (m_panel->Handle(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return staticColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
        if (wParam == IdShape1) {
            drawLamp(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == LogTimer)
            drainLog();
        else if (wParam == TickTimer && m_session)
            m_session->Tick();
        return 0;
    case WM_LOG_PENDING:
        scheduleLogDrain();
        return 0;
    case WM_CALL_PENDING:
        Controller().MainThread().ProcessPending();
        return 0;
    case WM_NEXTDLGCTL:
        // Tab in a memo asks its parent for the next control, as a dialog would give it.
        SetFocus(LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                : GetNextDlgTabItem(m_window, GetFocus(), wParam != 0));
        return 0;
    case WM_DPICHANGED:
        applyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        // The loop ends here; the window and its controls stay until the exit order has run.
        PostQuitMessage(0);
        return 0;
    case WM_ENDSESSION:
        // Log-off or shut-down: the system may end the process once this returns.
        if (wParam)
            Shutdown();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void TForm1::command(int id, int notification)
{
    if (notification != BN_CLICKED)
        return;
    // Enter outside a button comes as IDOK: the hidden default button is never clicked by it.
    if (id == IdButtonIniciar)
        Controller().ButtonIniciarClick();
    else if (id == IdButton1 && m_seams.OpenInShell)
        m_seams.OpenInShell(Controller().ServerAddress());
    else if (id == IdButton1)
        ShellOpen(Controller().ServerAddress());
}

LRESULT TForm1::staticColours(HDC dc, HWND control)
{
    // The address box has the button-highlight colour of its own; every other label shows the
    // window's face through it.
    const int colour = GetDlgCtrlID(control) == IdLabel1 ? COLOR_BTNHIGHLIGHT : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(colour));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
}

// The lamp: a circle as large as the shape's square allows, outlined by a pen of one pixel.
void TForm1::drawLamp(const DRAWITEMSTRUCT& item) const
{
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
    const int side = std::min(area.right - area.left, area.bottom - area.top);
    const int left = area.left + (area.right - area.left - side) / 2;
    const int top = area.top + (area.bottom - area.top - side) / 2;
    HBRUSH fill = CreateSolidBrush(m_lampColor);
    HGDIOBJ oldBrush = SelectObject(item.hDC, fill);
    HGDIOBJ oldPen = SelectObject(item.hDC, GetStockObject(BLACK_PEN));
    Ellipse(item.hDC, left, top, left + side, top + side);
    SelectObject(item.hDC, oldPen);
    SelectObject(item.hDC, oldBrush);
    DeleteObject(fill);
}

bool TForm1::Shutdown()
{
    KillTimer(m_window, TickTimer);
    const std::optional<std::string> failure = m_session->Shutdown();
    if (failure)
        std::cerr << programTitle() << ": " << *failure << std::endl;
    return !failure;
}

void TForm1::scheduleLogDrain()
{
    if (m_logDrainScheduled)
        return;
    m_logDrainScheduled = true;
    SetTimer(m_window, LogTimer, LogRepaintIntervalMs, nullptr);
}

void TForm1::drainLog()
{
    KillTimer(m_window, LogTimer);
    m_logDrainScheduled = false;
    const std::vector<std::string> lines = Controller().Log().Take();
    if (lines.empty())
        return;
    HWND memo = Control(IdMemo1);
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty() || GetWindowTextLengthW(memo) > 0)
            text += "\r\n";
        text += line;
    }
    // One append, one repaint, for the whole batch, at the end whatever the operator selected.
    const int end = GetWindowTextLengthW(memo);
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WideOf(text).c_str()));
    m_logLines += lines.size();
    trimLog();
}

// Only the newest MaxLogViewLines lines stay, each whole: the memo's own line count is of lines as
// wrapped on screen, so the log's lines are counted here and cut at their separators.
void TForm1::trimLog()
{
    if (m_logLines <= MaxLogViewLines)
        return;
    HWND memo = Control(IdMemo1);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(memo)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(memo, text.data(), static_cast<int>(text.size()))));
    size_t firstKept = 0;
    for (size_t dropped = m_logLines - MaxLogViewLines; dropped > 0 && firstKept != std::wstring::npos; --dropped) {
        firstKept = text.find(L"\r\n", firstKept);
        if (firstKept != std::wstring::npos)
            firstKept += 2;
    }
    if (firstKept == std::wstring::npos)
        return;
    SendMessageW(memo, EM_SETSEL, 0, static_cast<LPARAM>(firstKept));
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    m_logLines = MaxLogViewLines;
    const int end = GetWindowTextLengthW(memo);
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

std::string TForm1::programTitle() const
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    path.resize(length);
    return ProgramTitle(Utf8OfWide(path));
}

std::optional<std::string> TForm1::ChooseScreenFile()
{
    if (m_seams.ChooseFile)
        return m_seams.ChooseFile(m_window);
    std::wstring chosen(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_window;
    const std::wstring filter = dialogFilter(SScreenFilter);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    // A typed name need not exist (it then publishes an empty project); the process's current
    // folder never moves with the dialog's.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    chosen.resize(chosen.find(L'\0'));
    if (chosen.empty())
        return std::nullopt;
    return Utf8OfWide(chosen);
}

std::string TForm1::PortText()
{
    return TextOf(Control(IdEditPort));
}

void TForm1::ShowAddress(const std::string& address)
{
    SetText(Control(IdLabel1), address);
}

void TForm1::ShowServerActive()
{
    SetText(Control(IdLabel5), SServidorAtivo);
    m_lampColor = LampActive;
    InvalidateRect(Control(IdShape1), nullptr, TRUE);
}

void TForm1::ShowError(const std::string& text)
{
    MessageBoxW(m_window, WideOf(text).c_str(), WideOf(programTitle()).c_str(), MB_OK | MB_ICONERROR);
}

int TForm1::RunMessageLoop(HWND window)
{
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        if (IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace velmora
