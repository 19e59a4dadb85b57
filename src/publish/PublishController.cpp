#include "publish/PublishController.h"

#include <algorithm>

#include "base/FileSystem.h"
#include "base/StrToInt.h"
#include "base/Stream.h"
#include "http/IdTCPServer.h"
#include "http/Limits.h"
#include "publish/Unit_Const.h"
#include "screen/ManifestBuilder.h"
#include "screen/ScreenLoader.h"

namespace velmora {

int PortFromText(const std::string& text)
{
    int32_t port = StrToInt(text);
    if (port < 1 || port > 65535)
        throw EPortInvalid(FormatMessage(SPortaInvalida, {text}));
    return port;
}

std::string FolderOf(const std::string& path)
{
    size_t end = path.size();
    while (end > 0 && !IsPathSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

std::string ErrorReportText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

TPublishController::TPublishController(IPublishView& view, IPublishListener* listener,
                                       TIdIPWatch::TAddressSource addressSource)
    : m_view(view), m_listener(listener),
      m_router(
          m_state, m_page, [this](const std::string& line) { m_log.Append(line); }, m_ownCheckToken)
{
    m_aObjModel.SetBufferSize(8192);
    m_aObjModel.SetIdAttribute(u"id");
    m_aObjModel.SetUserName("anonymous");
    m_aObjModel.SetPassword("anonymous@velmora.invalid");

    m_server = std::make_unique<TIdHTTPServer>();
    m_server->SetDefaultPort(DefaultServerPort);
    m_server->AutoStartSession = true;
    m_server->SetSessionState(true);
    m_server->SessionTimeOut = SessionTimeOutMs;
    m_server->ServerSoftware = SServerSoftware;
    m_server->ListenQueue = IdListenQueueForBursts;
    m_server->MaxConnections = IdMaxConnections;
    m_server->OnCommandGet = [this](TIdPeerThread& thread, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
        m_router.IdHTTPServer1CommandGet(thread, request, response);
    };
    m_server->OnSessionStart = [this](TIdHTTPSession& session) { m_page.IdHTTPServer1SessionStart(session); };
    m_server->OnSessionEnd = [this](TIdHTTPSession& session) { m_page.IdHTTPServer1SessionEnd(session); };
    if (m_listener) {
        m_router.OnConnectionPage = [this](const std::string& peer) { m_listener->ConnectionPageOpened(peer); };
        m_server->OnRequestDone = [this](TIdPeerThread&, const TIdHTTPRequestInfo& request,
                                         const TIdHTTPResponseInfo& response,
                                         bool completed) { m_listener->RequestDone(request, response, completed); };
    }

    m_watch = addressSource ? std::make_unique<TIdIPWatch>(m_mainThread, std::move(addressSource))
                            : std::make_unique<TIdIPWatch>(m_mainThread);
    m_watch->HistoryEnabled = false;
    m_watch->HistoryFilename = "iphist.dat";
    m_watch->OnStatusChanged = [this](TIdIPWatch& sender) { IdIPWatch1StatusChanged(sender); };
}

void TPublishController::Start()
{
    m_watch->SetActive(true);
}

TPublishController::~TPublishController()
{
    Shutdown();
}

void TPublishController::Shutdown(std::chrono::steady_clock::time_point connectionsBy)
{
    if (m_watch)
        m_watch->SetActive(false);
    if (!m_server)
        return;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(connectionsBy - std::chrono::steady_clock::now());
    m_server->TerminateWaitTime = static_cast<int>(std::clamp<int64_t>(left.count(), 0, m_server->TerminateWaitTime));
    m_server->SetActive(false);
}

void TPublishController::ReleasePublication()
{
    m_screenMenus = TMenu_Geral();
    m_serverHost = std::string();
    m_serverPort = std::string();
    m_serverAddress = std::string();
    m_serverUrl = std::string();
    m_imagesUrl = std::string();
}

void TPublishController::ButtonIniciarClick()
{
    try {
        Publish();
    } catch (const std::exception& e) {
        m_view.ShowError(ErrorReportText(e.what()));
    }
}

void TPublishController::Publish()
{
    // A port the server could never listen on is refused before anything changes.
    const int port = PortFromText(m_view.PortText());
    std::optional<std::string> chosen = m_view.ChooseScreenFile();
    if (!chosen || chosen->empty())
        return;
    publishSequence(port, *chosen);
}

void TPublishController::PublishFile(const std::string& screenFile)
{
    publishSequence(PortFromText(m_view.PortText()), screenFile);
}

void TPublishController::publishSequence(int port, const std::string& chosenFile)
{
    // A bare name is taken against the current directory, so the manifest lands beside the screen
    // file and the router serves the same folder later.
    const std::string screenFile = AbsolutePath(chosenFile);
    const std::string folder = FolderOf(screenFile);

    LoadScreen(m_aObjModel, screenFile, m_screenMenus);
    if (!m_aObjModel.Errors().empty())
        throw EScreenUnreadable(FormatMessage(SArquivoIlegivel, {m_aObjModel.Errors().front()}));
    m_watch->SetActive(true);

    composeAddresses(addressForPublish(), std::to_string(listeningPort(port)));

    const std::string manifest = folder + ManifestFileName;
    WriteManifest(m_screenMenus, {m_serverUrl, m_imagesUrl}, manifest);
    // Both or neither: a folder served with another project's manifest would be a mixed project.
    std::string pageTemplate = ReadWholeFile(manifest);
    m_state.ProjectFolder.set(folder);
    m_state.PageTemplate.set(std::move(pageTemplate));
    m_publishedMenus = m_screenMenus;
    m_view.ShowAddress(m_serverAddress);
    m_addressShown = true;
    if (m_listener)
        m_listener->BeforeServerStart();

    m_server->SetDefaultPort(port);
    try {
        m_server->SetActive(true);
    } catch (const std::exception& error) {
        if (m_listener)
            m_listener->ServerStartFailed(port, error);
        throw;
    }
    m_view.ShowServerActive();
    m_log.Append(SServidorAtivoLog);
    m_screenFile = screenFile;
    if (m_listener)
        m_listener->Published();
}

std::string TPublishController::addressForPublish()
{
    if (m_listener)
        if (std::optional<std::string> chosen = m_listener->AddressToCompose())
            return *chosen;
    std::string localAddress;
    try {
        localAddress = m_watch->QueryLocalAddress();
    } catch (const Exception&) {
        // No address now: the manifest lists bare names, as before any address was found.
    }
    return IsNetworkAddress(localAddress) ? localAddress : std::string();
}

std::string TPublishController::portForAddresses()
{
    return m_server->Active() ? std::to_string(listeningPort(0)) : m_view.PortText();
}

void TPublishController::IdIPWatch1StatusChanged(TIdIPWatch& sender)
{
    std::string address = sender.QueryLocalAddress();
    if (m_listener)
        if (std::optional<std::string> chosen = m_listener->AddressToCompose())
            address = *chosen;
    composeAddresses(address, portForAddresses());
}

void TPublishController::Readdress()
{
    composeAddresses(addressForPublish(), portForAddresses());
    if (!m_addressShown)
        return;
    m_view.ShowAddress(m_serverAddress);
    if (!m_server->Active())
        return;
    const std::string manifest = *m_state.ProjectFolder.get() + ManifestFileName;
    WriteManifest(m_publishedMenus, {m_serverUrl, m_imagesUrl}, manifest);
    m_state.PageTemplate.set(ReadWholeFile(manifest));
}

void TPublishController::composeAddresses(const std::string& localAddress, const std::string& port)
{
    m_serverHost = localAddress;
    m_serverPort = localAddress.empty() ? std::string() : port;
    if (localAddress.empty()) {
        m_serverAddress.clear();
        m_serverUrl.clear();
        m_imagesUrl.clear();
    } else {
        m_serverAddress = localAddress + ":" + port;
        m_serverUrl = "http://" + m_serverAddress + "/";
        m_imagesUrl = m_serverUrl + "Images/";
    }
    m_state.ServerAddress.set(m_serverAddress);
    if (m_listener)
        m_listener->AddressesComposed();
}

int TPublishController::ListeningPort() const
{
    return listeningPort(0);
}

int TPublishController::listeningPort(int requested) const
{
    if (m_server->Active() && m_server->Bindings().count() > 0)
        return m_server->Bindings()[0].Port;
    return requested;
}

}  // namespace velmora
