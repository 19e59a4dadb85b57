#pragma once
// One publication as every host runs it: the publish controller and, beside it, the operator's
// controller, made in that order and ended in the program's exit order. The window, the headless
// server and the benchmarks drive it; each host supplies its views and runs the main thread's work.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "operator/OperatorController.h"
#include "publish/Limits.h"
#include "publish/PublishController.h"

namespace velmora {

class TPublishSession : private IPublishListener {
public:
    // Makes the publisher and then, with a panel view, the operator's controller; nothing runs until
    // Start(). Without an address source the watch asks the socket stack; without an interface
    // source the panel reads the machine's interfaces.
    TPublishSession(IPublishView& view, IOperatorView* panel, TIdIPWatch::TAddressSource addressSource = {},
                    TInterfaceSource interfaces = {}, const TClock& clock = TClock::system());
    // Shuts down first when the host has not, then frees the publisher before the operator's
    // controller.
    ~TPublishSession() override;
    TPublishSession(const TPublishSession&) = delete;
    TPublishSession& operator=(const TPublishSession&) = delete;

    // Shows the machine's addresses and starts the address watch. The host sets the publisher's
    // MainThread().OnPending and Log().OnPending first: from here on other threads call them.
    void Start();
    // Main thread, every OperatorTickInterval: the operator's follow-up of the publication.
    void Tick();
    // The exit order: the operator's last checks awaited and shown, the screen model and the
    // addresses released, the address watch stopped, then the server with its connections and
    // sessions, all within ExitTime but for the log's last lines. Runs once; answers the error that
    // kept a step from ending in order (the steps after it still run), none when all ended. A
    // connection thread still running at the end is reported in the log.
    std::optional<std::string> Shutdown();
    // After Shutdown: when a connection thread outlived it, that thread may still use the
    // publisher, the operator's controller and the log, so none of them may be freed. flushLog then
    // gets the log's last lines out and the process ends here with status, freeing nothing; returns
    // at once otherwise.
    void ExitIfThreadsOutlived(int status, const std::function<void()>& flushLog);
    // The same for a window, whose log has no view left: its last lines go to the standard error,
    // and the status is 0, as for a window closed in order.
    void ExitIfThreadsOutlivedAfterWindow();

    // How long Shutdown may take; the hosts keep ExitTimeLimit.
    std::chrono::milliseconds ExitTime = ExitTimeLimit;

    TPublishController& Publisher() { return *m_publisher; }
    // The operator's controller; null without a panel view.
    TOperatorController* Operator() { return m_operator.get(); }

private:
    // The publisher's events, passed on to the operator's controller while there is one.
    std::optional<std::string> AddressToCompose() override;
    void AddressesComposed() override;
    void BeforeServerStart() override;
    void Published() override;
    void ServerStartFailed(int port, const std::exception& error) override;
    void ConnectionPageOpened(const std::string& peer) override;
    void RequestDone(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response, bool completed) override;

    std::unique_ptr<TPublishController> m_publisher;
    // Made after the publisher, whose state it reads; its events reach it only through this session.
    std::unique_ptr<TOperatorController> m_operator;
    bool m_shutDown = false;
    bool m_threadsOutlived = false;
};

}  // namespace velmora
