#pragma once
// The logic of the operator's panel beside the publish controller: the address the phone is given
// and following it as the machine's addresses change, the QR code of the connection page, the
// project check at every publish, each phone's import, whether the server is reachable,
// republishing when the project is saved, and what holds a port that is taken. Free of any
// toolkit: the window's panel and velmora-server supply an IOperatorView.

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "operator/AddressChoice.h"
#include "operator/BackgroundChecks.h"
#include "operator/Limits.h"
#include "operator/OperatorView.h"
#include "operator/PhoneTracker.h"
#include "operator/ProjectCheck.h"
#include "operator/SaveWatcher.h"
#include "publish/PublishController.h"

namespace velmora {

// How often the host calls Tick.
inline constexpr std::chrono::milliseconds OperatorTickInterval{250};
// How often the machine's addresses are read again.
inline constexpr std::chrono::milliseconds AddressPollInterval{1000};
// How long after a publish the panel waits for a request from another machine before it says
// what to check.
inline constexpr std::chrono::seconds NoPhoneHintDelay{60};

// It hears of the publication as the publisher's listener; the publish session passes the events on.
class TOperatorController : public IPublishListener {
public:
    // Reads the publisher's state; without an interface source it reads the machine's own
    // interfaces.
    TOperatorController(TPublishController& publisher, IOperatorView& view, TInterfaceSource interfaces = {},
                        const TClock& clock = TClock::system());
    // Waits for the background checks still running.
    ~TOperatorController() override;
    TOperatorController(const TOperatorController&) = delete;
    TOperatorController& operator=(const TOperatorController&) = delete;

    // Reads the machine's addresses and shows them with the choice.
    void Start();
    // Main thread, every OperatorTickInterval: follows the addresses, shows the phones and what
    // the background checks found, gives the hint when it is due, and republishes a saved project.
    void Tick();

    // The operator's choice of address; none chooses the default. Answers false, changing
    // nothing, for an address that is not on this machine.
    bool ChooseAddress(const std::optional<std::string>& address);
    // "Republicar ao salvar": on follows the running publication's files from its next publish,
    // or at once when a publication runs.
    void SetRepublishOnSave(bool on);
    bool RepublishOnSave() const { return m_republishOnSave; }

    const std::vector<TOperatorAddress>& Addresses() const { return m_addresses; }
    // The address that composes the server's now; none when the machine offers none.
    const std::optional<std::string>& ChosenAddress() const { return m_chosen; }
    // The default choice among the addresses.
    std::optional<std::string> DefaultChoice() const { return DefaultAddress(m_addresses); }

    // Waits for the running checks and shows what they found; stops following saves.
    void Shutdown();

    // The publisher's events.
    std::optional<std::string> AddressToCompose() override;
    void AddressesComposed() override;
    void BeforeServerStart() override;
    void Published() override;
    void ServerStartFailed(int port, const std::exception& error) override;
    void ConnectionPageOpened(const std::string& peer) override;
    void RequestDone(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response, bool completed) override;

private:
    void refreshAddresses();
    void followAddresses();
    void readdress();
    // The URL the QR code opens: the connection page, unless the project answers its path.
    std::string pageUrl() const;
    // Draws the code again when its URL or the server's activity changed.
    void showQr();
    void probeServer();
    void diagnosePort(int port);
    void showPhones();
    void showBackgroundResults();
    void giveHintWhenDue(TClock::time_point now);
    void watchProject();
    void republish();
    void log(const std::string& line);

    TPublishController& m_publisher;
    IOperatorView& m_view;
    TInterfaceSource m_interfaces;
    const TClock& m_clock;

    std::vector<TOperatorAddress> m_addresses;
    // Every address this machine has had since the start: a request from one of them came from
    // here, even after the address moved on.
    std::set<std::string> m_ownAddresses;
    TAddressChoice m_choice;
    std::optional<std::string> m_chosen;
    // The address last followed; a change from it is announced once a publish has shown one.
    std::string m_followed;
    bool m_addressShown = false;
    TClock::time_point m_lastAddressRead{};
    std::string m_qrUrl;
    bool m_qrActive = false;

    TPhoneTracker m_tracker;
    TProjectCheck m_check;
    TSaveWatcher m_saves;
    bool m_republishOnSave = true;

    std::optional<TClock::time_point> m_hintDueFrom;
    bool m_hintShown = false;
    bool m_otherMachineSeen = false;

    std::unique_ptr<TBackgroundChecks> m_checks;
};

// A request the server answered as the phones' tracker records it: only whole bodies count, and a
// request that carries ownCheckToken is this program's own check.
TServedRequest ServedRequestOf(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response, bool completed,
                               const std::string& ownCheckToken = {});

// The lines of the hint for the port, the address the phone should use and the URL of the
// connection page (none without one).
std::vector<std::string> NoPhoneHintLines(int port, const std::string& serverAddress, const std::string& pageUrl);

}  // namespace velmora
