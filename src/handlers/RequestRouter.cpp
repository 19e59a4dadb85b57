#include "handlers/RequestRouter.h"

#include <memory>

#include "base/Stream.h"
#include "base/StrUtils.h"
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
    serveFile(requested == "/" ? ManifestPath : requested, ARequestInfo, AResponseInfo);
}

void TRequestRouter::serveFile(const std::string& path, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response)
{
    std::optional<std::string> file = FindProjectFile(*m_state.ProjectFolder.get(), path);
    if (!file) {
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

void TRequestRouter::log(const TIdHTTPRequestInfo& request, const std::string& line) const
{
    if (!IsOwnCheck(request, m_ownCheckToken))
        m_log(line);
}

}  // namespace velmora
