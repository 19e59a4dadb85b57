#pragma once
// The HTTP server's get handler: "/talvo.html" goes to the conversation page, "/" is the
// manifest, any other path a file below the project folder, and "/velmora", when no file answers
// it, the connection page; 404 for anything missing. Writes one log line per request of a phone.

#include <functional>
#include <memory>
#include <string>

#include "base/Stream.h"
#include "handlers/ConversationPage.h"
#include "handlers/FolderNames.h"
#include "handlers/PublicationState.h"
#include "http/IdPeerThread.h"

namespace velmora {

// Appends one whole line to the operator's log, which makes any control character a request path
// carries visible; called from any thread, with no lock held.
using TLogSink = std::function<void(const std::string& line)>;

inline constexpr const char* ConversationPagePath = "/talvo.html";
// The header whose value marks a request of this program's own checks of its server.
inline constexpr const char* OwnCheckHeader = "X-Velmora-Check";

class TRequestRouter {
public:
    // Requests that carry ownCheckToken in OwnCheckHeader are this program's own: they are
    // answered as any other, without a log line. An empty token marks none.
    TRequestRouter(const TPublicationState& state, TConversationPage& page, TLogSink log,
                   std::string ownCheckToken = {})
        : m_state(state), m_page(page), m_log(std::move(log)), m_ownCheckToken(std::move(ownCheckToken))
    {
    }

    // Called on the connection's thread with the client's address when the connection page is
    // served; set before the server starts.
    std::function<void(const std::string& peer)> OnConnectionPage;

    // A file that exists but cannot be opened raises EFOpenError, which the server answers
    // with 500.
    void IdHTTPServer1CommandGet(TIdPeerThread& AThread, TIdHTTPRequestInfo& ARequestInfo,
                                 TIdHTTPResponseInfo& AResponseInfo);

private:
    void serveFile(const std::string& path, std::unique_ptr<TFileStream> file, TIdHTTPRequestInfo& request,
                   TIdHTTPResponseInfo& response);
    void serveConnectionPage(const TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response);
    // One line per call: control characters in the text are escaped.
    void log(const TIdHTTPRequestInfo& request, const std::string& line) const;

    const TPublicationState& m_state;
    TConversationPage& m_page;
    TLogSink m_log;
    const std::string m_ownCheckToken;
    // Names of the project's folders for requests spelled otherwise than on disk, kept across requests.
    TFolderNames m_folderNames;
};

// The request path as a log line shows it: as it stands up to MaxLoggedPathBytes, a longer one cut
// on a character boundary and ended by "…" within that many bytes.
std::string LoggedPath(const std::string& requestPath);

// Whether the request carries the token in OwnCheckHeader; never for an empty token.
bool IsOwnCheck(const TIdHTTPRequestInfo& request, const std::string& token);

// A token for one run's own checks, from the system's secure random source: nobody on the
// network can guess it to keep a request out of the log.
std::string NewOwnCheckToken();

// "The requested URL " + path + " was not found on this server.", the path escaped for HTML.
std::string NotFoundText(const std::string& requestPath);

}  // namespace velmora
