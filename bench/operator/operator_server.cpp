// velmora_bench_operator_server SCREEN_XML PORT on|off: the publish sequence serving a project, with
// the operator's panel following every request (on) or without it (off), for the tracking benchmark.
// Prints "port N" once it serves; SIGINT or SIGTERM ends it.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <thread>

#include "operator/PublishSession.h"

namespace velmora {
namespace {

class QuietView : public IPublishView, public IOperatorView {
public:
    QuietView(std::string screenFile, std::string port) : m_screenFile(std::move(screenFile)), m_port(std::move(port))
    {
    }

    std::optional<std::string> ChooseScreenFile() override { return m_screenFile; }
    std::string PortText() override { return m_port; }
    void ShowAddress(const std::string&) override {}
    void ShowServerActive() override {}
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowAddresses(const std::vector<TOperatorAddress>&, int) override {}
    void ShowQr(const std::string&, const TQrMatrix&, bool) override {}
    void ShowProjectCheck(const TProjectCheck&, const std::vector<std::string>&) override {}
    void ShowPhones(const std::vector<TPhoneSnapshot>&) override {}
    void ShowReachability(bool, const std::string&) override {}
    void ShowHint(const std::vector<std::string>&) override {}

private:
    std::string m_screenFile, m_port;
};

int serve(const std::string& screenFile, const std::string& port, bool panelOn)
{
    QuietView view(screenFile, port);
    TPublishSession session(view, panelOn ? &view : nullptr);
    TPublishController& controller = session.Publisher();
    if (session.Operator())
        session.Operator()->SetRepublishOnSave(false);
    session.Start();
    std::atomic<bool> stop{false};
    std::thread signalWaiter([&] {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        int signal = 0;
        sigwait(&signals, &signal);
        stop = true;
        controller.MainThread().Wake();
    });
    try {
        controller.Publish();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        std::_Exit(1);
    }
    std::printf("port %s\n", port.c_str());
    std::fflush(stdout);
    // The main thread's share of the work, as in velmora-server: the log drained, the panel ticked.
    while (!stop) {
        controller.MainThread().WaitWhileServing([&] { return stop.load(); }, OperatorTickInterval);
        controller.Log().Take();
        session.Tick();
    }
    session.Shutdown();
    signalWaiter.join();
    return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    if (argc != 4 || (std::string(argv[3]) != "on" && std::string(argv[3]) != "off")) {
        std::fprintf(stderr, "usage: velmora_bench_operator_server SCREEN_XML PORT on|off\n");
        return 2;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return velmora::serve(argv[1], argv[2], std::string(argv[3]) == "on");
}
