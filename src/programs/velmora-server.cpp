// velmora-server [--port N] [--address A] [--no-qr] [--watch] SCREEN_XML: publishes a screen project
// without a window. Prints the address, the QR code of the connection page once the server is
// active and every log line on stdout as they happen; SIGHUP publishes again (a second press of
// "Iniciar"), SIGINT or SIGTERM stops the watch, then the server, and exits 0. velmora-server
// --list-addresses prints the machine's addresses and exits.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "operator/OperatorTexts.h"
#include "operator/PublishSession.h"
#include "publish/ConsoleLog.h"
#include "publish/ControlSignals.h"
#include "publish/Unit_Const.h"

namespace velmora {
namespace {

class ConsoleView : public IPublishView, public IOperatorView {
public:
    ConsoleView(std::string screenFile, std::string portText, bool qr)
        : m_screenFile(std::move(screenFile)), m_portText(std::move(portText)), m_qr(qr),
          m_colours(::isatty(STDOUT_FILENO) == 1)
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
        std::string line = text + "\n";
        for (size_t done = 0; done < line.size();) {
            ssize_t put = ::write(2, line.data() + done, line.size() - done);
            if (put <= 0)
                return;
            done += static_cast<size_t>(put);
        }
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

bool parseArguments(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
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
        return argc == 2;
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

int serve(const Arguments& args)
{
    ConsoleView view(std::filesystem::absolute(args.screenFile).lexically_normal().string(), args.portText, args.qr);
    TPublishSession session(view, &view);
    TPublishController& controller = session.Publisher();
    TOperatorController& operatorPanel = *session.Operator();
    TMainThreadQueue& mainThread = controller.MainThread();
    view.AttachLog(controller.Log());
    operatorPanel.SetRepublishOnSave(args.watch);
    if (args.address && !operatorPanel.ChooseAddress(*args.address)) {
        view.ShowError(FormatMessage(SEnderecoNaoLocal, {*args.address}));
        return 2;
    }
    TConsoleLog console(controller.Log(), STDOUT_FILENO);
    session.Start();

    std::atomic<bool> stop{false}, republish{false};
    std::thread signalWaiter([&] {
        sigset_t signals = ControlSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) != 0)
                continue;
            if (signal == SIGHUP) {
                republish = true;
                mainThread.Wake();
                continue;
            }
            stop = true;
            mainThread.Wake();
            return;
        }
    });

    int status = 0;
    try {
        controller.Publish();
    } catch (const std::exception& e) {
        view.ShowError(ErrorReportText(e.what()));
        status = 1;
        stop = true;
        // Not a kill: the waiter takes SIGTERM from sigwait, as it takes one from outside, and ends.
        ::pthread_kill(signalWaiter.native_handle(), SIGTERM);  // NOLINT(bugprone-bad-signal-to-kill-thread)
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
    signalWaiter.join();
    return status;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    velmora::Arguments args;
    if (!velmora::parseArguments(argc, argv, args)) {
        std::cerr << velmora::Usage;
        return 2;
    }
    if (args.listAddresses)
        return velmora::listAddresses();
    // Every thread started from here on leaves these signals to the signal waiter.
    sigset_t signals = velmora::ControlSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return velmora::serve(args);
}
