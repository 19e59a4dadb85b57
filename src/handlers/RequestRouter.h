#pragma once
// The HTTP server's get handler: "/talvo.html" goes to the conversation page, "/" is the
// manifest, any other path a file below the project folder; 404 for anything missing. Writes one
// log line per file request.

#include <functional>
#include <string>

#include "handlers/ConversationPage.h"
#include "handlers/PublicationState.h"
#include "http/IdPeerThread.h"

namespace velmora {

// Appends one whole line to the operator's log, which makes any control character a request path
// carries visible; called from any thread, with no lock held.
using TLogSink = std::function<void(const std::string& line)>;

inline constexpr const char* ConversationPagePath = "/talvo.html";

class TRequestRouter {
public:
    TRequestRouter(const TPublicationState& state, TConversationPage& page, TLogSink log)
        : m_state(state), m_page(page), m_log(std::move(log))
    {
    }

    // A file that exists but cannot be opened raises EFOpenError, which the server answers
    // with 500.
    void IdHTTPServer1CommandGet(TIdPeerThread& AThread, TIdHTTPRequestInfo& ARequestInfo,
                                 TIdHTTPResponseInfo& AResponseInfo);

private:
    void serveFile(const std::string& path, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response);
    // One line per call: control characters in the text are escaped.
    void log(const std::string& line) const;

    const TPublicationState& m_state;
    TConversationPage& m_page;
    TLogSink m_log;
};

// The request path as a log line shows it: as it stands up to MaxLoggedPathBytes, a longer one cut
// on a character boundary and ended by "…" within that many bytes.
std::string LoggedPath(const std::string& requestPath);

// "The requested URL " + path + " was not found on this server.", the path escaped for HTML.
std::string NotFoundText(const std::string& requestPath);

}  // namespace velmora
