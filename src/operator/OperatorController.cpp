#include "operator/OperatorController.h"

#include <algorithm>
#include <utility>

#include "base/Exception.h"
#include "handlers/ConnectionPage.h"
#include "operator/HttpProbe.h"
#include "operator/ManifestIndex.h"
#include "operator/OperatorTexts.h"
#include "operator/PortDiagnosis.h"
#include "operator/QrCode.h"

namespace velmora {

namespace {

int indexOf(const std::vector<TOperatorAddress>& addresses, const std::optional<std::string>& address)
{
    if (!address)
        return -1;
    for (size_t i = 0; i < addresses.size(); ++i)
        if (addresses[i].Address == *address)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

TServedRequest ServedRequestOf(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response, bool completed,
                               const std::string& ownCheckToken)
{
    // The connection does not count what a broken send got out: only whole bodies count.
    const bool bodySent = completed && request.Method != "HEAD" && response.ContentLength > 0;
    return {request.PeerAddress,
            request.Method,
            request.Path,
            response.StatusCode(),
            bodySent ? static_cast<uint64_t>(response.ContentLength) : 0,
            completed,
            IsOwnCheck(request, ownCheckToken)};
}

std::vector<std::string> NoPhoneHintLines(int port, const std::string& serverAddress, const std::string& pageUrl)
{
    const std::string portText = std::to_string(port);
    std::vector<std::string> lines{FormatMessage(SDicaTitulo, {std::to_string(NoPhoneHintDelay.count())})};
    // The page tells the network's faults from the app's: the installer opens it first.
    if (!pageUrl.empty())
        lines.push_back(FormatMessage(SDicaPagina, {pageUrl}));
    lines.insert(lines.end(), {SDicaRede, FormatMessage(SDicaFirewall, {portText, portText, portText})});
    if (*SDicaPerfilDeRede)
        lines.push_back(SDicaPerfilDeRede);
    lines.push_back(SDicaPermissao);
    lines.push_back(serverAddress.empty() ? std::string(SSemEnderecoDeRede)
                                          : FormatMessage(SDicaEndereco, {serverAddress}));
    return lines;
}

TOperatorController::TOperatorController(TPublishController& publisher, IOperatorView& view,
                                         TInterfaceSource interfaces, const TClock& clock)
    : m_publisher(publisher), m_view(view),
      m_interfaces(interfaces ? std::move(interfaces) : TInterfaceSource(LocalInterfaceAddresses)), m_clock(clock),
      m_tracker(clock), m_saves(clock), m_checks(std::make_unique<TBackgroundChecks>())
{
}

TOperatorController::~TOperatorController()
{
    m_checks.reset();
}

std::optional<std::string> TOperatorController::AddressToCompose()
{
    refreshAddresses();
    return m_chosen;
}

void TOperatorController::ConnectionPageOpened(const std::string& peer)
{
    m_tracker.PageOpened(peer);
}

void TOperatorController::RequestDone(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response,
                                      bool completed)
{
    m_tracker.Record(ServedRequestOf(request, response, completed, m_publisher.OwnCheckToken()));
}

void TOperatorController::ServerStartFailed(int port, const std::exception&)
{
    diagnosePort(port);
}

void TOperatorController::Start()
{
    refreshAddresses();
    m_view.ShowAddresses(m_addresses, indexOf(m_addresses, m_chosen));
    m_followed = m_chosen.value_or("");
}

void TOperatorController::Shutdown()
{
    m_saves.Stop();
    m_checks->WaitIdle();
    showBackgroundResults();
    showPhones();
}

void TOperatorController::Tick()
{
    const TClock::time_point now = m_clock.now();
    if (now - m_lastAddressRead >= AddressPollInterval)
        followAddresses();
    showPhones();
    showBackgroundResults();
    giveHintWhenDue(now);
    if (m_republishOnSave && m_saves.Poll())
        republish();
}

bool TOperatorController::ChooseAddress(const std::optional<std::string>& address)
{
    if (address) {
        refreshAddresses();
        if (!HasAddress(m_addresses, *address))
            return false;
    }
    m_choice.SetPreferred(address);
    followAddresses();
    return true;
}

void TOperatorController::SetRepublishOnSave(bool on)
{
    m_republishOnSave = on;
    if (!on)
        m_saves.Stop();
    else if (!m_publisher.ScreenFile().empty() && m_publisher.IdHTTPServer1().Active())
        watchProject();
}

void TOperatorController::log(const std::string& line)
{
    m_publisher.Log().Append(line);
}

void TOperatorController::refreshAddresses()
{
    std::vector<TOperatorAddress> addresses = ClassifyAddresses(m_interfaces());
    std::optional<std::string> chosen = m_choice.Resolve(addresses);
    m_lastAddressRead = m_clock.now();
    for (const TOperatorAddress& address : addresses)
        m_ownAddresses.insert(address.Address);
    if (addresses == m_addresses && chosen == m_chosen)
        return;
    m_addresses = std::move(addresses);
    m_chosen = std::move(chosen);
    m_view.ShowAddresses(m_addresses, indexOf(m_addresses, m_chosen));
}

void TOperatorController::followAddresses()
{
    refreshAddresses();
    // With no address left the watch's own offline report stands; the next address is followed.
    if (!m_chosen || *m_chosen == m_followed)
        return;
    const std::string before = std::exchange(m_followed, *m_chosen);
    readdress();
    if (m_addressShown && !before.empty()) {
        const std::string port = ":" + m_publisher.ServerPort();
        log(FormatMessage(SEnderecoMudou, {before + port, m_followed + port}));
    }
    if (m_publisher.IdHTTPServer1().Active())
        probeServer();
}

void TOperatorController::readdress()
{
    try {
        m_publisher.Readdress();
    } catch (const std::exception& error) {
        log(FormatMessage(SManifestoNaoReescrito, {ErrorReportText(error.what())}));
    }
}

void TOperatorController::AddressesComposed()
{
    showQr();
}

std::string TOperatorController::pageUrl() const
{
    return ConnectionPageUrl(m_publisher.ServerUrl(), *m_publisher.State().ProjectFolder.get());
}

void TOperatorController::showQr()
{
    const std::string url = pageUrl();
    const bool active = m_publisher.IdHTTPServer1().Active();
    if (url == m_qrUrl && active == m_qrActive)
        return;
    m_qrUrl = url;
    m_qrActive = active;
    m_view.ShowQr(url, EncodeQr(url), active);
}

void TOperatorController::BeforeServerStart()
{
    m_addressShown = true;
    if (m_chosen)
        m_followed = *m_chosen;
    auto index = std::make_shared<const TManifestIndex>();
    try {
        index = std::make_shared<const TManifestIndex>(ReadManifestEntries(*m_publisher.State().PageTemplate.get()));
    } catch (const EManifestUnreadable& error) {
        log(error.Message());
    }
    m_check = CheckProject(*m_publisher.State().ProjectFolder.get(), *index);
    const std::vector<std::string> lines = ProjectCheckLines(m_check);
    for (const std::string& line : lines)
        log(line);
    m_view.ShowProjectCheck(m_check, lines);
    m_tracker.SetManifest(std::move(index));
    // The new project folder may hold a file of the connection page's name.
    showQr();
}

void TOperatorController::Published()
{
    showQr();
    if (m_republishOnSave)
        watchProject();
    probeServer();
    if (!m_hintDueFrom)
        m_hintDueFrom = m_clock.now();
}

void TOperatorController::watchProject()
{
    std::vector<std::string> files{m_publisher.ScreenFile()};
    files.insert(files.end(), m_check.Found.begin(), m_check.Found.end());
    files.insert(files.end(), m_check.Expected.begin(), m_check.Expected.end());
    m_saves.Watch(files);
}

void TOperatorController::republish()
{
    try {
        m_publisher.PublishFile(m_publisher.ScreenFile());
        log(FormatMessage(SProjetoAtualizado, {std::to_string(m_check.Files)}));
    } catch (const std::exception& error) {
        log(FormatMessage(SRepublicacaoFalhou, {ErrorReportText(error.what())}));
    }
}

void TOperatorController::probeServer()
{
    const std::string serverAddress = m_publisher.ServerAddress();
    const std::string host = m_publisher.ServerHost();
    if (host.empty()) {
        m_view.ShowReachability(false, SSemEnderecoDeRede);
        log(SSemEnderecoDeRede);
        return;
    }
    const int port = m_publisher.ListeningPort();
    const std::string token = m_publisher.OwnCheckToken();
    m_checks->Run("probe", [this, host, port, serverAddress, token] {
        const THttpProbeResult result = ProbeHttp(host, port, ReachabilityLimit, token);
        return std::function<void()>([this, host, serverAddress, result] {
            bool reachable = false;
            std::string text = ReachabilityText(serverAddress, result, ReachabilityLimit, reachable);
            log(text);
            // Reachable from here, the address may still be closed to phones by the network's profile.
            const int chosen = indexOf(m_addresses, host);
            if (chosen >= 0 && m_addresses[chosen].PublicNetwork) {
                const std::string& network = m_addresses[chosen].Interface;
                const std::string warning = FormatMessage(SRedePublica, {network, network});
                log(warning);
                text += " " + warning;
            }
            m_view.ShowReachability(reachable, text);
        });
    });
}

void TOperatorController::diagnosePort(int port)
{
    m_checks->Run("port", [this, port] {
        std::vector<std::string> lines = DiagnosePort(port);
        return std::function<void()>([this, lines] {
            for (const std::string& line : lines)
                log(line);
        });
    });
}

void TOperatorController::showBackgroundResults()
{
    for (const auto& result : m_checks->TakeResults())
        result();
}

void TOperatorController::showPhones()
{
    TPhoneChanges changes = m_tracker.Collect();
    if (!changes.Changed)
        return;
    for (const TPhoneReport& report : changes.Reports)
        log(PhoneReportLine(report));
    m_view.ShowPhones(changes.Phones);
    const bool otherMachine =
        std::any_of(changes.Phones.begin(), changes.Phones.end(),
                    [this](const TPhoneSnapshot& phone) { return !m_ownAddresses.count(phone.Address); });
    if (otherMachine && !m_otherMachineSeen) {
        m_otherMachineSeen = true;
        if (m_hintShown)
            m_view.ShowHint({});
    }
}

void TOperatorController::giveHintWhenDue(TClock::time_point now)
{
    if (!m_hintDueFrom || m_hintShown || m_otherMachineSeen || now - *m_hintDueFrom < NoPhoneHintDelay)
        return;
    m_hintShown = true;
    const std::vector<std::string> lines =
        NoPhoneHintLines(m_publisher.ListeningPort(), m_publisher.ServerAddress(), pageUrl());
    for (const std::string& line : lines)
        log(line);
    m_view.ShowHint(lines);
}

}  // namespace velmora
