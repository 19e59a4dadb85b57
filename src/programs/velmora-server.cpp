// velmora-server [--port N] [--address A] [--no-qr] [--watch] SCREEN_XML: publishes a screen project
// without a window. Prints the address, the QR code of the connection page once the server is
// active and every log line on stdout as they happen; SIGHUP publishes again (a second press of
// "Iniciar"); SIGINT or SIGTERM (on Windows Ctrl+C, Ctrl+Break, closing the console, log-off or
// shut-down) stops the watch, then the server, and exits 0. velmora-server --list-addresses prints
// the machine's addresses and exits.

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "base/FileSystem.h"
#include "base/CommandLine.h"
#include "operator/OperatorTexts.h"
#include "operator/PublishSession.h"
#include "publish/ConsoleControls.h"
#include "publish/ConsoleLog.h"
#include "publish/Unit_Const.h"

namespace velmora {
namespace {

constexpr int StandardOutput = 1;
constexpr int StandardError = 2;

class ConsoleView : public IPublishView, public IOperatorView {
public:
    ConsoleView(std::string screenFile, std::string portText, bool qr)
        : m_screenFile(std::move(screenFile)), m_portText(std::move(portText)), m_qr(qr),
          m_colours(ConsoleShowsColours(StandardOutput)), m_errors(OpenConsoleOutput(StandardError))
    {
    }

    // The address goes through the log so that it keeps its place among the log lines.
    void AttachLog(TLogQueue& log) { m_log = &log; }

    std::optional<std::string> ChooseScreenFile() override { return m_screenFile; }
    std::string PortText() override { return m_portText; }
    void ShowAddress(const std::string& address) override { m_log->Append("Endereço: " + address); }
    void ShowServerActive() override {}
    void ShowError(const std::string& text) override
    {
        m_errors->WriteAll(text + "\n", [] { return std::chrono::steady_clock::time_point::max(); });
    }

    // The code is printed once the server answers it, with its URL for a phone whose camera reads no
    // codes; the other findings reach the terminal as log lines.
    void ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive) override
    {
        if (!m_qr || !serverActive || url.empty() || url == m_qrPrinted)
            return;
        m_qrPrinted = url;
        for (std::string& line : RenderQrLines(matrix, m_colours))
            m_log->AppendDrawn(std::move(line));
        m_log->Append(FormatMessage(SLegendaDoQr, {url}));
    }
    void ShowAddresses(const std::vector<TOperatorAddress>&, int) override {}
    void ShowProjectCheck(const TProjectCheck&, const std::vector<std::string>&) override {}
    void ShowPhones(const std::vector<TPhoneSnapshot>&) override {}
    void ShowReachability(bool, const std::string&) override {}
    void ShowHint(const std::vector<std::string>&) override {}

private:
    std::string m_screenFile;
    std::string m_portText;
    const bool m_qr;
    const bool m_colours;
    const std::unique_ptr<TConsoleOutput> m_errors;
    TLogQueue* m_log = nullptr;
    std::string m_qrPrinted;
};

constexpr const char* Usage = "usage: velmora-server [--port N] [--address A] [--no-qr] [--watch] SCREEN_XML\n"
                              "       velmora-server --list-addresses\n";

struct Arguments {
    std::string portText = SDefaultPortText;
    std::string screenFile;
    std::optional<std::string> address;
    bool listAddresses = false;
    bool qr = true;
    bool watch = false;
};

bool parseArguments(const std::vector<std::string>& argv, Arguments& args)
{
    const size_t argc = argv.size();
    for (size_t i = 0; i < argc; ++i) {
        const std::string& arg = argv[i];
        if (arg == "--port" && i + 1 < argc)
            args.portText = argv[++i];
        else if (arg == "--address" && i + 1 < argc)
            args.address = argv[++i];
        else if (arg == "--list-addresses")
            args.listAddresses = true;
        else if (arg == "--no-qr")
            args.qr = false;
        else if (arg == "--watch")
            args.watch = true;
        else if (args.screenFile.empty() && !arg.empty() && arg.rfind("--", 0) != 0)
            args.screenFile = arg;
        else
            return false;
    }
    if (args.listAddresses)
        return argc == 1;
    return !args.screenFile.empty();
}

// One line per address: address, interface, kind, and "*" on the default choice.
int listAddresses()
{
    const std::vector<TOperatorAddress> addresses = ClassifyAddresses(LocalInterfaceAddresses());
    const std::optional<std::string> chosen = DefaultAddress(addresses);
    for (const TOperatorAddress& address : addresses) {
        std::printf("%-15s  %-15s  %s%s\n", address.Address.c_str(), address.Interface.c_str(),
                    AddressKindName(address.Kind), chosen == address.Address ? "  *" : "");
    }
    return 0;
}

// Set by the console's controls, read by the main thread's loop.
std::atomic<bool> stop{false}, republish{false};
// Guards g_mainThread, the queue that a control wakes while a session runs.
std::mutex g_mainThreadMutex;
TMainThreadQueue* g_mainThread = nullptr;

void onControl(TConsoleControl control)
{
    (control == TConsoleControl::Stop ? stop : republish) = true;
    std::lock_guard lock(g_mainThreadMutex);
    if (g_mainThread)
        g_mainThread->Wake();
}

// The session's queue as the one that controls wake, for as long as this lives.
class TWakeOnControl {
public:
    explicit TWakeOnControl(TMainThreadQueue& queue)
    {
        std::lock_guard lock(g_mainThreadMutex);
        g_mainThread = &queue;
    }
    ~TWakeOnControl()
    {
        std::lock_guard lock(g_mainThreadMutex);
        g_mainThread = nullptr;
    }
    TWakeOnControl(const TWakeOnControl&) = delete;
    TWakeOnControl& operator=(const TWakeOnControl&) = delete;
};

int serve(const Arguments& args)
{
    ConsoleView view(AbsolutePath(args.screenFile), args.portText, args.qr);
    TPublishSession session(view, &view);
    TPublishController& controller = session.Publisher();
    TOperatorController& operatorPanel = *session.Operator();
    TMainThreadQueue& mainThread = controller.MainThread();
    TWakeOnControl wake(mainThread);
    view.AttachLog(controller.Log());
    operatorPanel.SetRepublishOnSave(args.watch);
    if (args.address && !operatorPanel.ChooseAddress(*args.address)) {
        view.ShowError(FormatMessage(SEnderecoNaoLocal, {*args.address}));
        return 2;
    }
    TConsoleLog console(controller.Log(), StandardOutput);
    session.Start();

    int status = 0;
    try {
        controller.Publish();
    } catch (const std::exception& e) {
        view.ShowError(ErrorReportText(e.what()));
        status = 1;
        stop = true;
    }
    while (!stop) {
        mainThread.WaitWhileServing([&] { return stop || republish; }, OperatorTickInterval);
        if (republish.exchange(false))
            controller.ButtonIniciarClick();
        session.Tick();
    }
    // What the last checks found (who holds a port that was taken) still reaches the terminal.
    session.Shutdown();
    session.ExitIfThreadsOutlived(status, [&] { console.Stop(ExitLogFlushTime); });
    console.Stop(ExitLogFlushTime);
    return status;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    velmora::UseUtf8Console();
    velmora::Arguments args;
    if (!velmora::parseArguments(velmora::ProgramArguments(argc, argv), args)) {
        std::cerr << velmora::Usage;
        return 2;
    }
    if (args.listAddresses)
        return velmora::listAddresses();
    // Before any other thread: every thread leaves the controls to them.
    velmora::TConsoleControls controls(velmora::onControl);
    return velmora::serve(args);
}
