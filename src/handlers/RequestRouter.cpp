#include "handlers/RequestRouter.h"

#include <memory>

#include "base/Stream.h"
#include "base/StrUtils.h"
#include "handlers/HtmlEscape.h"
#include "handlers/ProjectFiles.h"
#include "screen/ManifestBuilder.h"

namespace velmora {

std::string NotFoundText(const std::string& requestPath)
{
    return "The requested URL " + HtmlEscape(requestPath) + " was not found on this server.";
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
        log("Arquivo " + path + " não encontrado.");
        response.SetStatusCode(404);
        response.BodyText = NotFoundText(request.Path);
        return;
    }
    try {
        response.BodyStream = std::make_unique<TFileStream>(*file, TFileStream::fmOpenRead);
    } catch (const Exception& e) {
        log("Arquivo " + path + ": " + e.Message());
        throw;
    }
    log("Arquivo " + path + " OK.");
}

void TRequestRouter::log(const std::string& line) const
{
    m_log(line);
}

}  // namespace velmora
