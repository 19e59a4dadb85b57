#include "handlers/RequestRouter.h"

#include <memory>
#include <string_view>

#include "base/Stream.h"
#include "base/StrUtils.h"
#include "handlers/HtmlEscape.h"
#include "handlers/Limits.h"
#include "handlers/ProjectFiles.h"
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
    const std::string logged = LoggedPath(path);
    std::unique_ptr<TFileStream> file;
    try {
        file = OpenProjectFile(*m_state.ProjectFolder.get(), path);
    } catch (const Exception& e) {
        log("Arquivo " + logged + ": " + e.Message());
        throw;
    }
    if (!file) {
        log("Arquivo " + logged + " não encontrado.");
        response.SetStatusCode(404);
        response.BodyText = NotFoundText(request.Path);
        return;
    }
    response.BodyStream = std::move(file);
    log("Arquivo " + logged + " OK.");
}

void TRequestRouter::log(const std::string& line) const
{
    m_log(line);
}

}  // namespace velmora
