#pragma once
// The HTTP/1.1 server: the connection server whose per-connection step reads requests, ties them to
// sessions, hands them to OnCommandGet and writes the replies. Every reading is bounded: line length,
// header count and size, body size, and the time a whole request may take to arrive.

#include <functional>
#include <memory>
#include <string>

#include "http/Limits.h"
#include "base/Clock.h"
#include "http/IdHTTPRequestInfo.h"
#include "http/IdHTTPResponseInfo.h"
#include "http/IdHTTPSessionCleanerThread.h"
#include "http/IdHTTPSessionList.h"
#include "http/IdPeerThread.h"
#include "http/IdRandomSource.h"
#include "http/IdTCPServer.h"

namespace velmora {

class EIdHTTPErrorParsingCommand : public EIdHTTPServerError {
public:
    using EIdHTTPServerError::EIdHTTPServerError;
};
class EIdHTTPUnsupportedAuthorisationScheme : public EIdHTTPServerError {
public:
    using EIdHTTPServerError::EIdHTTPServerError;
};
class EIdHTTPCannotSwitchSessionStateWhenActive : public EIdHTTPServerError {
public:
    using EIdHTTPServerError::EIdHTTPServerError;
};

inline constexpr const char* RSHTTPErrorParsingCommand = "Error in parsing command.";
inline constexpr const char* RSHTTPUnsupportedAuthorisationScheme = "Unsupported authorization scheme.";
inline constexpr const char* RSHTTPCannotSwitchSessionStateWhenActive =
    "Cannot change session state when the server is active.";
inline constexpr const char* RSHTTPUnknownHandlerError = "Unknown error in the request handler.";

inline constexpr const char* IdSessionCookieName = "IDHTTPSESSIONID";
inline constexpr int IdHTTPDefaultPort = 80;

class TIdCustomHTTPServer : public TIdTCPServer {
public:
    TIdCustomHTTPServer();
    ~TIdCustomHTTPServer() override;

    bool AutoStartSession = false;
    bool KeepAlive = false;
    bool ParseParams = true;
    std::string ServerSoftware;
    // Milliseconds; 0 switches sessions off at activation.
    int64_t SessionTimeOut = 0;
    // Milliseconds a request may take to arrive (0 = no limit); a slower one is closed without reply.
    int RequestTimeout = IdRequestTimeoutDefault;
    // Milliseconds a connection that has sent nothing is held while the server is crowded.
    int IdleTimeoutWhenCrowded = IdIdleTimeoutWhenCrowded;
    int SessionCleanInterval = IdSessionCleanInterval;

    bool SessionState() const { return m_sessionState; }
    // Throws EIdHTTPCannotSwitchSessionStateWhenActive while active.
    void SetSessionState(bool value);

    std::function<void(TIdPeerThread& AThread, TIdHTTPRequestInfo& ARequestInfo, TIdHTTPResponseInfo& AResponseInfo)>
        OnCommandGet;
    std::function<void(TIdPeerThread& Thread, const std::string& asCommand, const std::string& asData,
                       const std::string& asVersion)>
        OnCommandOther;
    std::function<void(TIdPeerThread& ASender, std::unique_ptr<TStream>& VPostStream)> OnCreatePostStream;
    std::function<void(TIdPeerThread& ASender, std::shared_ptr<TIdHTTPSession>& VHTTPSession)> OnCreateSession;
    std::function<void(TIdPeerThread& Thread, TIdHTTPRequestInfo& ARequestInfo, TIdHTTPResponseInfo& AResponseInfo,
                       bool& VContinueProcessing, const std::string& AInvalidSessionID)>
        OnInvalidSession;
    std::function<void(TIdHTTPSession& Sender)> OnSessionStart;
    std::function<void(TIdHTTPSession& Sender)> OnSessionEnd;
    // After the reply to a request that OnCommandGet saw has been written, or its writing failed
    // (ACompleted false). Runs on the connection's thread; set it before activation.
    std::function<void(TIdPeerThread& AThread, const TIdHTTPRequestInfo& ARequestInfo,
                       const TIdHTTPResponseInfo& AResponseInfo, bool ACompleted)>
        OnRequestDone;

    TIdHTTPDefaultSessionList& SessionList() { return m_sessions; }
    // For tests: the time that sessions age by, and the source of their identifiers.
    void setClock(const TClock& clock);
    void setRandomSource(TIdRandomSource& random) { m_sessions.setRandomSource(random); }

    // Answers none with sessions off; otherwise a new session, also stored in both records, whose
    // cookie the response will set.
    std::shared_ptr<TIdHTTPSession> CreateSession(TIdPeerThread& thread, TIdHTTPResponseInfo& response,
                                                  TIdHTTPRequestInfo& request);

    bool DoExecute(TIdPeerThread& thread) override;
    // MaxConnectionReply when set, else "503 Service Unavailable" with Retry-After.
    const std::string& refusalReply() const override;

protected:
    virtual void DoCommandGet(TIdPeerThread& thread, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response);
    virtual void DoCommandOther(TIdPeerThread& thread, const std::string& command, const std::string& data,
                                const std::string& version);
    virtual void DoCreatePostStream(TIdPeerThread& thread, std::unique_ptr<TStream>& stream);
    virtual void DoInvalidSession(TIdPeerThread& thread, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response,
                                  bool& continueProcessing, const std::string& invalidSessionId);

    void activate() override;
    void deactivate() override;

private:
    // Reads and answers one request; answers whether the connection closes afterwards.
    bool serveRequest(TIdPeerThread& thread, TIdTCPConnection& connection, bool closeAfter, bool first);
    // Waits for the connection's first bytes; throws EIdReadTimeout when none came within
    // IdleTimeoutWhenCrowded while the server is crowded, or within the request's time.
    void awaitFirstBytes(TIdTCPConnection& connection);
    bool readBody(TIdPeerThread& thread, TIdTCPConnection& connection, TIdHTTPRequestInfo& request);
    void decodeRequest(TIdHTTPRequestInfo& request, std::string target, const std::string& version);
    void sessionStep(TIdPeerThread& thread, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response,
                     bool& continueProcessing);
    void replyTooLarge(TIdTCPConnection& connection);
    void stopSessionCleaner();

    const TClock* m_clock = &TClock::system();
    TIdHTTPDefaultSessionList m_sessions;
    std::unique_ptr<TIdHTTPSessionCleanerThread> m_sessionCleaner;
    bool m_sessionState = false;
    // The refusal of a full server, made at activation with the server's name.
    std::string m_busyReply;
};

// One line per "&"-separated piece, "+" made a space, then URL-decoded; an empty text gives no lines.
void DecodeParams(const std::string& text, TIdStringList& target);

}  // namespace velmora
