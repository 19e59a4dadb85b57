#pragma once
// The logic of the operator's panel beside the publish controller: the address the phone is given
// and following it as the machine's addresses change, its QR code, the project check at every
// publish, each phone's import, whether the server is reachable, republishing when the project is
// saved, and what holds a port that is taken. Free of any toolkit: the window's panel and
// velmora-server supply an IOperatorView.

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/PublishController.h"
#include "http/IdClock.h"
#include "operator/AddressChoice.h"
#include "operator/BackgroundChecks.h"
#include "operator/OperatorView.h"
#include "operator/PhoneTracker.h"
#include "operator/ProjectCheck.h"
#include "operator/SaveWatcher.h"

namespace velmora {

// How often the host calls Tick.
inline constexpr std::chrono::milliseconds OperatorTickInterval{250};
// How often the machine's addresses are read again.
inline constexpr std::chrono::milliseconds AddressPollInterval{1000};
// How long after a publish the panel waits for a request from another machine before it says
// what to check.
inline constexpr std::chrono::seconds NoPhoneHintDelay{60};
// How long the probe of the server through the chosen address may take.
inline constexpr std::chrono::milliseconds ReachabilityLimit{3000};

class TOperatorController {
public:
    // Takes the publisher's operator hooks and its server's OnRequestDone, so it must be made
    // before the publisher's Start() and first publish. Without an interface source it reads the
    // machine's own interfaces.
    TOperatorController(TPublishController& publisher, IOperatorView& view, TInterfaceSource interfaces = {},
                        const TIdClock& clock = TIdClock::system());
    // Shuts the publisher down first (a no-op after the program's own exit steps): its server's
    // threads and its watch call into this object.
    ~TOperatorController();
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

private:
    void refreshAddresses();
    void followAddresses();
    void readdress();
    void showQr();
    void checkProject();
    void published();
    void probeServer();
    void diagnosePort(int port);
    void showPhones();
    void showBackgroundResults();
    void giveHintWhenDue(TIdClock::time_point now);
    void watchProject();
    void republish();
    int listeningPort();
    void log(const std::string& line);

    TPublishController& m_publisher;
    IOperatorView& m_view;
    TInterfaceSource m_interfaces;
    const TIdClock& m_clock;

    std::vector<TOperatorAddress> m_addresses;
    // Every address this machine has had since the start: a request from one of them came from
    // here, even after the address moved on.
    std::set<std::string> m_ownAddresses;
    TAddressChoice m_choice;
    std::optional<std::string> m_chosen;
    // The address last followed; a change from it is announced once a publish has shown one.
    std::string m_followed;
    bool m_addressShown = false;
    TIdClock::time_point m_lastAddressRead{};
    std::string m_qrUrl;

    TPhoneTracker m_tracker;
    TProjectCheck m_check;
    TSaveWatcher m_saves;
    bool m_republishOnSave = true;

    std::optional<TIdClock::time_point> m_hintDueFrom;
    bool m_hintShown = false;
    bool m_otherMachineSeen = false;

    std::unique_ptr<TBackgroundChecks> m_checks;
};

// The server's served-request event turned into what the tracker records.
void AttachPhoneTracker(TIdCustomHTTPServer& server, TPhoneTracker& tracker);

// The lines of the hint for the port and the address the phone should use.
std::vector<std::string> NoPhoneHintLines(int port, const std::string& serverAddress);

}  // namespace velmora
