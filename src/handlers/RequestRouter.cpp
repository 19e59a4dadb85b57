#include "handlers/RequestRouter.h"

#include <memory>

#include "base/Stream.h"
#include "base/StrUtils.h"
#include "handlers/ConnectionPage.h"
#include "handlers/HtmlEscape.h"
#include "handlers/ProjectFiles.h"
#include "http/IdRandomSource.h"
#include "screen/ManifestBuilder.h"

namespace velmora {

std::string NotFoundText(const std::string& requestPath)
{
    return "The requested URL " + HtmlEscape(requestPath) + " was not found on this server.";
}

bool IsOwnCheck(const TIdHTTPRequestInfo& request, const std::string& token)
{
    return !token.empty() && request.HeaderLines.values(OwnCheckHeader) == token;
}

std::string NewOwnCheckToken()
{
    unsigned char bytes[16];
    TIdRandomSource::system().fill(bytes, sizeof bytes);
    static constexpr char Hex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char byte : bytes) {
        token += Hex[byte >> 4];
        token += Hex[byte & 0xF];
    }
    return token;
}

void TRequestRouter::IdHTTPServer1CommandGet(TIdPeerThread&, TIdHTTPRequestInfo& ARequestInfo,
                                             TIdHTTPResponseInfo& AResponseInfo)
{
    const std::string& requested = ARequestInfo.Path;
    if (SameText(requested, ConversationPagePath)) {
        m_page.ConversationPage(ARequestInfo, AResponseInfo);
        return;
    }
    const std::string path = requested == "/" ? ManifestPath : requested;
    const std::optional<std::string> file = FindProjectFile(*m_state.ProjectFolder.get(), path);
    if (!file && SameText(requested, ConnectionPagePath)) {
        serveConnectionPage(ARequestInfo, AResponseInfo);
        return;
    }
    serveFile(path, file, ARequestInfo, AResponseInfo);
}

void TRequestRouter::serveFile(const std::string& path, const std::optional<std::string>& file,
                               TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response)
{
    if (!file) {
        // What a browser asks for by itself is no phone's request: it is left out of the log.
        if (!IsBrowserOwnRequest(path))
            log(request, "Arquivo " + path + " não encontrado.");
        response.SetStatusCode(404);
        response.BodyText = NotFoundText(request.Path);
        return;
    }
    try {
        response.BodyStream = std::make_unique<TFileStream>(*file, TFileStream::fmOpenRead);
    } catch (const Exception& e) {
        log(request, "Arquivo " + path + ": " + e.Message());
        throw;
    }
    log(request, "Arquivo " + path + " OK.");
}

void TRequestRouter::serveConnectionPage(const TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response)
{
    std::string address = *m_state.ServerAddress.get();
    if (address.empty())
        address = request.Host;
    response.ContentType = "text/html; charset=utf-8";
    response.BodyText = ConnectionPageHtml(address);
    log(request, FormatMessage(SPaginaDeConexaoAberta, {request.PeerAddress}));
    if (OnConnectionPage)
        OnConnectionPage(request.PeerAddress);
}

void TRequestRouter::log(const TIdHTTPRequestInfo& request, const std::string& line) const
{
    if (!IsOwnCheck(request, m_ownCheckToken))
        m_log(line);
}

}  // namespace velmora
