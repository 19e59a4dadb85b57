// velmora-server [--port N] SCREEN_XML: publishes a screen project without a window. Prints the
// address and every log line on stdout as they happen; SIGHUP publishes again (a second press of
// "Iniciar"), SIGINT or SIGTERM stops the watch, then the server, and exits 0.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/ConsoleLog.h"
#include "app/PublishController.h"
#include "app/Unit_Const.h"
#include "http/IdTCPServer.h"

namespace velmora {
namespace {

class ConsoleView : public IPublishView {
public:
    ConsoleView(std::string screenFile, std::string portText)
        : m_screenFile(std::move(screenFile)), m_portText(std::move(portText))
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

private:
    std::string m_screenFile;
    std::string m_portText;
    TLogQueue* m_log = nullptr;
};

struct Arguments {
    std::string portText = SDefaultPortText;
    std::string screenFile;
};

bool parseArguments(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc)
            args.portText = argv[++i];
        else if (args.screenFile.empty() && !arg.empty() && arg.rfind("--", 0) != 0)
            args.screenFile = arg;
        else
            return false;
    }
    return !args.screenFile.empty();
}

sigset_t controlSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

int serve(const Arguments& args)
{
    ConsoleView view(std::filesystem::absolute(args.screenFile).lexically_normal().string(), args.portText);
    TPublishController controller(view);
    TMainThreadQueue& mainThread = controller.MainThread();
    view.AttachLog(controller.Log());
    TConsoleLog console(controller.Log(), STDOUT_FILENO);
    controller.Start();

    std::atomic<bool> stop{false}, republish{false};
    std::thread signalWaiter([&] {
        sigset_t signals = controlSignals();
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
        ::pthread_kill(signalWaiter.native_handle(), SIGTERM);
    }
    while (!stop) {
        mainThread.WaitWhileServing([&] { return stop || republish; }, std::chrono::hours(1));
        if (republish.exchange(false))
            controller.ButtonIniciarClick();
    }
    try {
        controller.Shutdown();
    } catch (const EIdTerminateThreadTimeout&) {
        // Connections that outlived the wait were closed; freeing the server waits for their threads.
    }
    console.Stop();
    signalWaiter.join();
    return status;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    velmora::Arguments args;
    if (!velmora::parseArguments(argc, argv, args)) {
        std::cerr << "usage: velmora-server [--port N] SCREEN_XML\n";
        return 2;
    }
    // Every thread started from here on leaves these signals to the signal waiter.
    sigset_t signals = velmora::controlSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return velmora::serve(args);
}
