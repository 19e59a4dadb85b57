// velmora-server [--port N] SCREEN_XML: publishes a screen project without a window. Prints the
// address and every log line on stdout as they happen; SIGHUP publishes again (a second press of
// "Iniciar"), SIGINT or SIGTERM stops the watch, then the server, and exits 0.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

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

    std::optional<std::string> ChooseScreenFile() override { return m_screenFile; }
    std::string PortText() override { return m_portText; }
    void ShowAddress(const std::string& address) override { writeLine(1, "Endereço: " + address); }
    void ShowServerActive() override {}
    void AppendLog(const std::string& line) override { writeLine(1, line); }
    void ShowError(const std::string& text) override { writeLine(2, text); }

private:
    // One write per line, so that lines of different threads never interleave.
    void writeLine(int fd, const std::string& line)
    {
        std::string bytes = line + "\n";
        std::lock_guard lock(m_outputMutex);
        for (size_t done = 0; done < bytes.size();) {
            ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (put <= 0)
                return;
            done += static_cast<size_t>(put);
        }
    }

    std::string m_screenFile;
    std::string m_portText;
    std::mutex m_outputMutex;
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
