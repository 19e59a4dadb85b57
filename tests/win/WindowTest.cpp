#include "win/Main.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "ChildProcess.h"
#include "HttpTestSupport.h"
#include "Loopback.h"
#include "Projects.h"
#include "base/Stream.h"
#include "base/Utf16.h"
#include "publish/FormSupport.h"
#include "publish/Limits.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// Runs the messages of this thread as the program's loop does until the condition holds.
template <class Condition>
bool pumpUntil(HWND form, Condition condition, std::chrono::milliseconds limit = 20s)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(form, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        Sleep(5);
    }
    return true;
}

// A control's text through its window, from this process or another.
std::string textOf(HWND control)
{
    DWORD_PTR length = 0;
    SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(std::min<size_t>(copied, length));
    return Utf8OfWide(text);
}

// The top-level window of the class that the process shows, none yet.
HWND windowOf(DWORD process, const wchar_t* className)
{
    struct Search {
        DWORD process;
        const wchar_t* className;
        HWND found;
    } search{process, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) {
            auto& wanted = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, std::size(name));
            if (owner != wanted.process || std::wstring_view(name) != wanted.className || !IsWindowVisible(window))
                return TRUE;
            wanted.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Form : public testing::Test {
protected:
    void TearDown() override
    {
        m_form.reset();
        if (!project.empty())
            fs::remove_all(project);
    }
    TForm1& form()
    {
        if (!m_form)
            m_form = std::make_unique<TForm1>([] { return std::string("192.168.7.7"); },
                                              TFormSeams{[this](HWND) {
                                                             ++choices;
                                                             return screenFile;
                                                         },
                                                         [this](const std::string&) { ++shellOpens; }},
                                              [this] { return interfaces; }, clock);
        return *m_form;
    }
    std::string text(int id) { return textOf(form().Control(id)); }
    // A control's place in the window's client area.
    RECT placeOf(int id)
    {
        RECT place{};
        GetWindowRect(form().Control(id), &place);
        MapWindowPoints(nullptr, form().Handle(), reinterpret_cast<POINT*>(&place), 2);
        return place;
    }
    void click(int id)
    {
        SendMessageW(form().Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form().Control(id)));
    }
    bool pumpUntil(std::function<bool()> condition) { return test::pumpUntil(form().Handle(), std::move(condition)); }
    bool logHas(const std::string& line)
    {
        return pumpUntil([&] {
            return ("\r\n" + text(TForm1::IdMemo1) + "\r\n").find("\r\n" + line + "\r\n") != std::string::npos;
        });
    }
    void publish()
    {
        project = makeProject(testing::UnitTest::GetInstance()->current_test_info()->name());
        screenFile = (project / "screen.xml").string();
        port = reserved.port();
        SetText(form().Control(TForm1::IdEditPort), std::to_string(port));
        click(TForm1::IdButtonIniciar);
    }

    std::vector<TInterfaceAddress> interfaces = {
        {"lo", "127.0.0.1", true, true, false},
        {"eth0", "127.0.0.5", true, false, true},
    };
    ManualClock clock;
    std::optional<std::string> screenFile;
    int choices = 0, shellOpens = 0;
    fs::path project;
    ReservedPort reserved;
    int port = 0;
    std::unique_ptr<TForm1> m_form;
};

TEST_F(Form, OpensWithTheStoredControlsAndScalesThemWithTheMonitorsDpi)
{
    EXPECT_EQ(textOf(form().Handle()), "Velmora - Servidor Screen para Apple");
    EXPECT_EQ(GetWindowLongW(form().Handle(), GWL_STYLE) & WS_THICKFRAME, 0) << "a fixed border";
    const struct {
        int id;
        RECT place;
        std::string text;
        bool visible;
    } stored[] = {
        {TForm1::IdLabel1, Bounds(144, 232, 318, 24), std::string(53, ' '), true},
        {TForm1::IdLabel2, Bounds(176, 56, 96, 13), "Status do Programa:", true},
        {TForm1::IdLabel3, Bounds(32, 232, 102, 24), "Endereço: ", true},
        {TForm1::IdLabel4, Bounds(32, 64, 28, 13), "Porta:", true},
        {TForm1::IdShape1, Bounds(120, 136, 41, 41), "", true},
        {TForm1::IdLabel5, Bounds(32, 184, 137, 13), "Servidor Inativo", true},
        {TForm1::IdLabel6, Bounds(16, 24, 365, 22), "Servidor de Interfaces VelmScreen - Apple", true},
        {TForm1::IdButton1, Bounds(392, 8, 75, 25), "Test", false},
        {TForm1::IdEditPort, Bounds(32, 80, 81, 21), "8099", true},
        {TForm1::IdButtonIniciar, Bounds(32, 144, 75, 25), "Iniciar", true},
        {TForm1::IdMemo1, Bounds(176, 72, 273, 145), "", true},
    };
    // The monitor's own DPI first, then as Windows tells a window moved to monitors at 125 % and 150 %.
    for (const int dpi : {96, 120, 144}) {
        if (dpi != 96) {
            RECT suggested{};
            GetWindowRect(form().Handle(), &suggested);
            SendMessageW(form().Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        }
        const TDpiScale px(dpi);
        RECT client{};
        GetClientRect(form().Handle(), &client);
        // The system keeps a window within the screen's size: the test's display is large enough.
        EXPECT_EQ(client.right, px(TForm1::WindowWidth)) << dpi;
        EXPECT_EQ(client.bottom, px(TForm1::WindowHeight)) << dpi;
        for (const auto& control : stored) {
            const RECT place = placeOf(control.id), expected = px(control.place);
            EXPECT_TRUE(EqualRect(&place, &expected)) << control.id << " at " << dpi << " dpi";
            EXPECT_EQ(text(control.id), control.text) << control.id;
            EXPECT_EQ((GetWindowLongW(form().Control(control.id), GWL_STYLE) & WS_VISIBLE) != 0, control.visible)
                << control.id;
        }
        LOGFONTW address{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form().Control(TForm1::IdLabel1), WM_GETFONT, 0, 0)),
                   sizeof address, &address);
        EXPECT_EQ(std::wstring(address.lfFaceName), L"Arial");
        EXPECT_EQ(address.lfHeight, -px(21));
    }
    const std::string instructions = text(TForm1::IdMemo2);
    EXPECT_EQ(instructions.rfind("Garanta que seu iPhone ou iPod Touch esteja na mesma rede do seu computador \r\n"
                                 "rodando este aplicativo.\r\n\r\n1) Clique no botão Iniciar.",
                                 0),
              0u);
    EXPECT_NE(instructions.find("\r\nVelmScreen \r\ndesejado.\r\n"), std::string::npos) << "blanks at line ends kept";
    EXPECT_EQ(std::count(instructions.begin(), instructions.end(), '\n'), 21);
}

TEST_F(Form, TabVisitsTheBoxesInStoredOrderAndEnterNeverClicksTheHiddenButton)
{
    ShowWindow(form().Handle(), SW_SHOW);
    HWND focus = form().Control(TForm1::IdEditPort);
    std::vector<int> visited;
    for (int step = 0; step < 4; ++step) {
        focus = GetNextDlgTabItem(form().Handle(), focus, FALSE);
        visited.push_back(GetDlgCtrlID(focus));
    }
    EXPECT_EQ(
        visited,
        (std::vector<int>{TForm1::IdButtonIniciar, TForm1::IdMemo1, TForm1::IdMemo2, TOperatorPanel::IdComboEndereco}));
    // Tab out of a memo, which asks the window for the next control.
    SetFocus(form().Control(TForm1::IdMemo1));
    PostMessageW(form().Control(TForm1::IdMemo1), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == form().Control(TForm1::IdMemo2); }));
    EXPECT_EQ(text(TForm1::IdMemo1), "");

    for (const int id : {TForm1::IdEditPort, TForm1::IdMemo1, TForm1::IdMemo2}) {
        SetFocus(form().Control(id));
        PostMessageW(form().Control(id), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(form().Control(id), WM_KEYUP, VK_RETURN, 0);
        int rounds = 0;
        pumpUntil([&] { return ++rounds > 5; });
    }
    EXPECT_EQ(shellOpens, 0);
    EXPECT_EQ(choices, 0);
}

TEST_F(Form, PublishesThroughTheButtonTurnsTheLampGreenAndServesTheManifest)
{
    publish();
    ASSERT_TRUE(pumpUntil([&] { return text(TForm1::IdLabel5) == "Servidor Ativo"; }));
    EXPECT_EQ(choices, 1);
    EXPECT_EQ(form().LampColor(), RGB(0, 128, 0));
    EXPECT_EQ(text(TForm1::IdLabel1), "127.0.0.5:" + std::to_string(port));
    ASSERT_TRUE(logHas("Servidor Ativo!"));
    const std::string reply = rawRequest(port, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), ReadWholeFile((project / "arquivos.xml").string()));
    EXPECT_TRUE(logHas("Arquivo /arquivos.xml OK."));
    EXPECT_EQ(textOf(form().Control(TOperatorPanel::IdLabelPagina)),
              "http://127.0.0.5:" + std::to_string(port) + "/velmora");
}

TEST_F(Form, ReportsAPortThatIsNoNumberInAnErrorBoxCaptionedWithTheProgramTitle)
{
    SetText(form().Control(TForm1::IdEditPort), "abc");
    screenFile = (makeProject("abc") / "screen.xml").string();
    project = fs::path(*screenFile).parent_path();
    struct Box {
        std::string caption, text;
        bool icon = false;
        std::vector<std::string> buttons;
    } box;
    // The box is modal: it is read and answered from another thread while the click waits in it.
    std::thread answer([&box] {
        HWND shown = nullptr;
        eventually([&] { return (shown = windowOf(GetCurrentProcessId(), L"#32770")) != nullptr; }, 20s);
        if (!shown)
            return;
        box.caption = textOf(shown);
        for (HWND child = GetWindow(shown, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[32] = {};
            GetClassNameW(child, name, std::size(name));
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (std::wstring_view(name) == L"Button")
                box.buttons.push_back(textOf(child));
            else if ((style & SS_TYPEMASK) == SS_ICON)
                box.icon = true;
            else if (!textOf(child).empty())
                box.text = textOf(child);
        }
        PostMessageW(shown, WM_COMMAND, IDOK, 0);
    });
    click(TForm1::IdButtonIniciar);
    answer.join();
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(box.caption, ProgramTitle(Utf8OfWide(self)));
    EXPECT_EQ(box.text, "'abc' is not a valid integer value.");
    EXPECT_TRUE(box.icon);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(text(TForm1::IdLabel5), "Servidor Inativo");
    EXPECT_EQ(form().LampColor(), RGB(255, 0, 0));
}

// Lines from another thread reach the log through posted messages; past its bound only the newest
// stay, each whole, however the memo wraps them on screen.
TEST_F(Form, KeepsTheNewestLinesFromAnyThreadUpToItsBoundEachWhole)
{
    const std::string wraps(80, 'x');
    TLogQueue& log = form().Controller().Log();
    std::thread writer([&] {
        for (size_t i = 0; i < MaxLogViewLines + 3; ++i)
            log.Append("line " + std::to_string(i) + " " + wraps);
    });
    writer.join();
    const std::string last = "line " + std::to_string(MaxLogViewLines + 2) + " " + wraps;
    ASSERT_TRUE(logHas(last));
    const std::string shown = text(TForm1::IdMemo1);
    const std::string first = shown.substr(0, shown.find("\r\n"));
    EXPECT_EQ(first.rfind("line ", 0), 0u) << first;
    EXPECT_EQ(first.substr(first.size() - wraps.size()), wraps) << "the oldest line kept is whole";
    EXPECT_EQ(static_cast<size_t>(std::count(shown.begin(), shown.end(), '\n')), MaxLogViewLines - 1);
}

// The panel shows what the controller reports: the check's problems and the hint only while they
// have lines, giving their room back to the phones' table, one row per phone, and the operator's
// choice of address passed on.
TEST(Panel, ShowsWhatTheControllerReportsAndPassesOnTheChosenAddress)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 1200, 500, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ManualClock clock;
    TOperatorPanel panel(window, clock);
    const TDpiScale scale;
    const TFont font(L"MS Sans Serif", 11, scale);
    panel.Place(scale, font);
    const auto control = [&](int id) { return GetDlgItem(window, id); };
    const auto shown = [&](int id) { return (GetWindowLongW(control(id), GWL_STYLE) & WS_VISIBLE) != 0; };
    const auto placeOf = [&](int id) {
        RECT place{};
        GetWindowRect(control(id), &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        return place;
    };
    const RECT fullTable = placeOf(TOperatorPanel::IdTabelaAparelhos);

    panel.ShowProjectCheck(
        {}, {"Verificação do projeto: 3 arquivos, 1,0 kB.", "Arquivo ausente: a.png", "Arquivo ausente: b.png"});
    panel.ShowHint({"Nenhum aparelho acessou o servidor em 60 s. Verifique:", "- o iPhone está na mesma rede;"});
    EXPECT_EQ(textOf(control(TOperatorPanel::IdLabelVerificacao)), "Verificação do projeto: 3 arquivos, 1,0 kB.");
    EXPECT_EQ(SendMessageW(control(TOperatorPanel::IdListaProblemas), LB_GETCOUNT, 0, 0), 2);
    EXPECT_TRUE(shown(TOperatorPanel::IdListaProblemas) && shown(TOperatorPanel::IdLabelDica));
    const RECT table = placeOf(TOperatorPanel::IdTabelaAparelhos), hint = placeOf(TOperatorPanel::IdLabelDica);
    EXPECT_GT(table.top, fullTable.top);
    EXPECT_LE(table.bottom, hint.top);
    panel.ShowProjectCheck({}, {"Verificação do projeto: 3 arquivos, 1,0 kB."});
    panel.ShowHint({});
    EXPECT_FALSE(shown(TOperatorPanel::IdListaProblemas) || shown(TOperatorPanel::IdLabelDica));
    const RECT again = placeOf(TOperatorPanel::IdTabelaAparelhos);
    EXPECT_TRUE(EqualRect(&again, &fullTable));

    HWND phones = control(TOperatorPanel::IdTabelaAparelhos);
    const auto cell = [&](int row, int column) {
        wchar_t text[64] = {};
        ListView_GetItemText(phones, row, column, text, 64);
        return Utf8OfWide(text);
    };
    TPhoneSnapshot importing, reached;
    importing.Address = "127.0.0.2";
    importing.State = TPhoneState::Importing;
    importing.Served = 6;
    importing.Listed = 12;
    importing.Bytes = 12345;
    reached.Address = "127.0.0.3";
    reached.State = TPhoneState::Reached;
    panel.ShowPhones({importing, reached});
    ASSERT_EQ(ListView_GetItemCount(phones), 2);
    EXPECT_EQ(cell(0, ColumnAparelho), "127.0.0.2");
    EXPECT_EQ(cell(0, ColumnEstado), PhoneStateName(TPhoneState::Importing));
    EXPECT_EQ(cell(0, ColumnProgresso), "6/12");
    EXPECT_EQ(cell(0, ColumnDados), "12,3 kB");
    EXPECT_EQ(cell(1, ColumnEstado), PhoneStateName(TPhoneState::Reached));
    panel.ShowPhones({reached});
    ASSERT_EQ(ListView_GetItemCount(phones), 1);
    EXPECT_EQ(cell(0, ColumnAparelho), "127.0.0.3") << "a row shows its phone whatever it showed before";

    std::vector<std::string> chosen;
    panel.OnAddressChosen = [&](const std::string& address) { chosen.push_back(address); };
    panel.ShowAddresses({{"192.168.1.5", "wlan0"}, {"10.0.0.7", "eth0"}}, 1);
    HWND combo = control(TOperatorPanel::IdComboEndereco);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    LRESULT handled = 0;
    panel.Handle(WM_COMMAND, MAKEWPARAM(TOperatorPanel::IdComboEndereco, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo), handled);
    EXPECT_EQ(chosen, std::vector<std::string>{"192.168.1.5"});
    DestroyWindow(window);
}

// The program as the operator runs it: its own file dialog, a phone half-way through a large file,
// and the window closed under it.
TEST(VelmoraProgram, PublishesThroughItsDialogAndClosingDuringADownloadExitsZero)
{
    const fs::path project = makeProject("program");
    constexpr size_t FileSize = 32 * 1024 * 1024;
    std::ofstream(project / "big.bin", std::ios::binary) << std::string(FileSize, 'v');
    ReservedPort reserved;
    ChildProcess program(VELMORA_PROGRAM, {});
    const auto process = static_cast<DWORD>(program.pid());
    HWND form = nullptr;
    ASSERT_TRUE(eventually([&] { return (form = windowOf(process, TForm1::ClassName)) != nullptr; }, 30s));
    SendMessageW(GetDlgItem(form, TForm1::IdEditPort), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(std::to_wstring(reserved.port()).c_str()));
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(TForm1::IdButtonIniciar, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(form, TForm1::IdButtonIniciar)));
    HWND dialog = nullptr;
    ASSERT_TRUE(eventually([&] { return (dialog = windowOf(process, L"#32770")) != nullptr; }, 30s));
    // The name box of the system's open dialog: the combo box of the explorer style, else the edit.
    HWND name = GetDlgItem(dialog, cmb13) ? GetDlgItem(dialog, cmb13) : GetDlgItem(dialog, edt1);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideOf((project / "screen.xml").string()).c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(eventually([&] { return textOf(GetDlgItem(form, TForm1::IdLabel5)) == "Servidor Ativo"; }, 30s));

    Socket download = connectLoopback(reserved.port(), {}, 20000, 4096);
    download.sendAll("GET /big.bin HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(eventually(
        [&] { return textOf(GetDlgItem(form, TForm1::IdMemo1)).find("Arquivo /big.bin OK.") != std::string::npos; },
        30s));
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.wait(30s), 0);
    EXPECT_LT(download.receiveAll().size(), FileSize) << "the download was ended with the program";
    fs::remove_all(project);
}

}  // namespace
}  // namespace velmora::test
