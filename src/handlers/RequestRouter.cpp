#include "handlers/RequestRouter.h"

#include <memory>
#include <string_view>

#include "base/Stream.h"
#include "base/StrUtils.h"
#include "handlers/ConnectionPage.h"
#include "handlers/HtmlEscape.h"
#include "handlers/Limits.h"
#include "handlers/ProjectFiles.h"
#include "http/IdRandomSource.h"
#include "screen/ManifestBuilder.h"
#include "unicode/Utf8.h"

namespace velmora {

namespace {

constexpr std::string_view Ellipsis = "\u2026";

}  // namespace

std::string LoggedPath(const std::string& requestPath)
{
    if (requestPath.size() <= MaxLoggedPathBytes)
        return requestPath;
    // Character by character, so that no UTF-8 sequence is cut; other bytes count one each.
    size_t cut = 0;
    for (size_t next = 0; next < requestPath.size();) {
        char32_t ignored = 0;
        unicode::DecodeUtf8(requestPath, next, ignored);
        if (next > MaxLoggedPathBytes - Ellipsis.size())
            break;
        cut = next;
    }
    return requestPath.substr(0, cut).append(Ellipsis);
}

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
    std::unique_ptr<TFileStream> file;
    try {
        file = OpenProjectFile(*m_state.ProjectFolder.get(), path, m_folderNames);
    } catch (const Exception& e) {
        log(ARequestInfo, "Arquivo " + LoggedPath(path) + ": " + e.Message());
        throw;
    }
    if (!file && SameText(requested, ConnectionPagePath)) {
        serveConnectionPage(ARequestInfo, AResponseInfo);
        return;
    }
    serveFile(path, std::move(file), ARequestInfo, AResponseInfo);
}

void TRequestRouter::serveFile(const std::string& path, std::unique_ptr<TFileStream> file, TIdHTTPRequestInfo& request,
                               TIdHTTPResponseInfo& response)
{
    const std::string logged = LoggedPath(path);
    if (!file) {
        // What a browser asks for by itself is no phone's request: it is left out of the log.
        if (!IsBrowserOwnRequest(path))
            log(request, "Arquivo " + logged + " não encontrado.");
        response.SetStatusCode(404);
        response.BodyText = NotFoundText(request.Path);
        return;
    }
    response.BodyStream = std::move(file);
    log(request, "Arquivo " + logged + " OK.");
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
