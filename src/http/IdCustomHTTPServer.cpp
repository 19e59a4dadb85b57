#include "http/IdCustomHTTPServer.h"

#include <exception>
#include <utility>

#include "http/IdCoderMIME.h"
#include "http/IdURI.h"

namespace velmora {

namespace {

bool answeredByGetHandler(const std::string& method)
{
    return method == "GET" || method == "POST" || method == "HEAD";
}

void addCookies(TIdHTTPRequestInfo& request)
{
    TIdStringList headers;
    request.HeaderLines.extract("Cookie", headers);
    for (const std::string& header : headers) {
        size_t start = 0;
        for (;;) {
            size_t semicolon = header.find(';', start);
            std::string piece = Trim(std::string_view(header).substr(
                start, semicolon == std::string::npos ? std::string::npos : semicolon - start));
            if (!piece.empty())
                request.CookieList.AddCookie(piece);
            if (semicolon == std::string::npos)
                break;
            start = semicolon + 1;
        }
    }
}

void readCredentials(TIdHTTPRequestInfo& request)
{
    std::string authorization = request.HeaderLines.values("Authorization");
    request.HasCredentials = !authorization.empty();
    if (!request.HasCredentials)
        return;
    size_t space = authorization.find(' ');
    if (!SameText(authorization.substr(0, space), "Basic"))
        throw EIdHTTPUnsupportedAuthorisationScheme(RSHTTPUnsupportedAuthorisationScheme);
    std::string decoded = TIdDecoderMIME::DecodeString(
        space == std::string::npos ? std::string() : Trim(authorization.substr(space + 1)));
    size_t colon = decoded.find(':');
    request.CredentialUser = decoded.substr(0, colon);
    request.CredentialPassword = colon == std::string::npos ? std::string() : decoded.substr(colon + 1);
}

std::string statusPage(int code, const std::string& phrase)
{
    return "<HTML><BODY><B>" + std::to_string(code) + " " + phrase + "</B></BODY></HTML>";
}

// The reply of a full server, as the response record would write it, with Retry-After.
std::string busyReply(const std::string& serverSoftware)
{
    const std::string phrase = TIdHTTPResponseInfo::ReasonPhraseFor(503);
    const std::string body = statusPage(503, phrase);
    std::string reply = "HTTP/1.1 503 " + phrase +
        "\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    if (!Trim(serverSoftware).empty())
        reply += "Server: " + serverSoftware + "\r\n";
    return reply + "Retry-After: " + std::to_string(IdBusyRetryAfterSeconds) + "\r\n\r\n" + body;
}

}  // namespace

void DecodeParams(const std::string& text, TIdStringList& target)
{
    target.clear();
    if (text.empty())
        return;
    size_t start = 0;
    for (;;) {
        size_t amp = text.find('&', start);
        std::string piece = text.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        for (char& c : piece)
            if (c == '+')
                c = ' ';
        target.add(TIdURI::URLDecode(piece));
        if (amp == std::string::npos)
            return;
        start = amp + 1;
    }
}

TIdCustomHTTPServer::TIdCustomHTTPServer()
{
    SetDefaultPort(IdHTTPDefaultPort);
}

TIdCustomHTTPServer::~TIdCustomHTTPServer()
{
    stopForDestruction();
}

void TIdCustomHTTPServer::SetSessionState(bool value)
{
    if (Active() && value != m_sessionState)
        throw EIdHTTPCannotSwitchSessionStateWhenActive(RSHTTPCannotSwitchSessionStateWhenActive);
    m_sessionState = value;
}

void TIdCustomHTTPServer::setClock(const TClock& clock)
{
    m_clock = &clock;
    m_sessions.setClock(clock);
}

void TIdCustomHTTPServer::activate()
{
    if (SessionTimeOut != 0)
        m_sessions.SessionTimeout = SessionTimeOut;
    else
        m_sessionState = false;
    m_sessions.OnSessionStart = OnSessionStart;
    m_sessions.OnSessionEnd = OnSessionEnd;
    // A reply followed by a close needs no Nagle switch: the head waits for its body, and the close
    // pushes out whatever is left. Only a connection kept open would wait for the peer's ACK.
    IOHandler().NoDelay = KeepAlive;
    m_busyReply = busyReply(ServerSoftware);
    if (m_sessionState) {
        m_sessionCleaner = std::make_unique<TIdHTTPSessionCleanerThread>(m_sessions, SessionCleanInterval);
        m_sessionCleaner->start();
    }
    TIdTCPServer::activate();
}

void TIdCustomHTTPServer::stopSessionCleaner()
{
    if (!m_sessionCleaner)
        return;
    m_sessionCleaner->terminate();
    m_sessionCleaner->waitFor();
    m_sessionCleaner.reset();
}

void TIdCustomHTTPServer::deactivate()
{
    stopSessionCleaner();
    m_sessions.EndAllSessions();
    try {
        TIdTCPServer::deactivate();
    } catch (...) {
        m_sessions.EndAllSessions();
        throw;
    }
    // Requests still running while the cleaner stopped may have started sessions of their own.
    m_sessions.EndAllSessions();
}

void TIdCustomHTTPServer::DoCommandGet(TIdPeerThread& thread, TIdHTTPRequestInfo& request,
                                       TIdHTTPResponseInfo& response)
{
    if (OnCommandGet)
        OnCommandGet(thread, request, response);
}

void TIdCustomHTTPServer::DoCommandOther(TIdPeerThread& thread, const std::string& command, const std::string& data,
                                         const std::string& version)
{
    if (OnCommandOther)
        OnCommandOther(thread, command, data, version);
}

void TIdCustomHTTPServer::DoCreatePostStream(TIdPeerThread& thread, std::unique_ptr<TStream>& stream)
{
    if (OnCreatePostStream)
        OnCreatePostStream(thread, stream);
}

void TIdCustomHTTPServer::DoInvalidSession(TIdPeerThread& thread, TIdHTTPRequestInfo& request,
                                           TIdHTTPResponseInfo& response, bool& continueProcessing,
                                           const std::string& invalidSessionId)
{
    if (OnInvalidSession)
        OnInvalidSession(thread, request, response, continueProcessing, invalidSessionId);
}

const std::string& TIdCustomHTTPServer::refusalReply() const
{
    return MaxConnectionReply.empty() ? m_busyReply : MaxConnectionReply;
}

bool TIdCustomHTTPServer::DoExecute(TIdPeerThread& thread)
{
    TIdTCPConnection& connection = thread.Connection();
    try {
        bool closeAfter = !KeepAlive;
        bool first = true;
        do
            closeAfter = serveRequest(thread, connection, closeAfter, std::exchange(first, false));
        while (!closeAfter);
    } catch (const EIdClosedSocket&) {
        // The client has gone; nothing is left to answer.
    } catch (...) {
        connection.disconnect();
        throw;
    }
    connection.disconnect();
    return true;
}

void TIdCustomHTTPServer::awaitFirstBytes(TIdTCPConnection& connection)
{
    // A place held by a client that says nothing is worth more to one that will use it, once the
    // places run short.
    const auto since = std::chrono::steady_clock::now();
    while (!connection.waitForInput(IdCrowdingCheckInterval))
        if (crowded() && std::chrono::steady_clock::now() - since >= std::chrono::milliseconds(IdleTimeoutWhenCrowded))
            throw EIdReadTimeout(RSReadTimeout);
}

bool TIdCustomHTTPServer::serveRequest(TIdPeerThread& thread, TIdTCPConnection& connection, bool closeAfter, bool first)
{
    if (RequestTimeout > 0)
        connection.setReadDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(RequestTimeout));
    if (first)
        awaitFirstBytes(connection);
    std::string line = connection.readLn("\n", -1, IdMaxRequestLineLength);
    // A read that gave up (a reset peer) leaves an empty line that is no request.
    if (connection.ReadTimedOut()) {
        connection.disconnectSocket();
        throw EIdClosedSocket(RSStatusDisconnected);
    }
    if (first)
        requestLineArrived(thread);
    size_t lastSpace = line.rfind(' ');
    if (lastSpace == std::string::npos)
        throw EIdHTTPErrorParsingCommand(RSHTTPErrorParsingCommand);
    std::string version = line.substr(lastSpace + 1);
    std::string_view rest = std::string_view(line).substr(0, lastSpace);
    size_t firstSpace = rest.find(' ');
    std::string method = UpperCase(std::string(rest.substr(0, firstSpace)));
    std::string target =
        firstSpace == std::string_view::npos ? std::string() : std::string(rest.substr(firstSpace + 1));

    if (!answeredByGetHandler(method) || !OnCommandGet) {
        connection.setReadDeadline(std::nullopt);
        DoCommandOther(thread, method, target, version);
        return closeAfter;
    }

    TIdHTTPRequestInfo request;
    request.RequestLine = line;
    request.PeerAddress = connection.IOHandler()->peerAddress();
    request.Method = method;
    connection.capture(request.HeaderLines, "", true, {IdMaxHeaderLines, IdMaxHeaderBytes});
    request.ProcessHeaders();
    if (!readBody(thread, connection, request)) {
        replyTooLarge(connection);
        return true;
    }
    connection.setReadDeadline(std::nullopt);
    decodeRequest(request, std::move(target), version);

    TIdHTTPResponseInfo response(connection, *m_clock);
    response.SetCloseAfterReply(!(KeepAlive && SameText(request.Connection, "Keep-alive")));
    bool continueProcessing = true;
    sessionStep(thread, request, response, continueProcessing);
    if (!Trim(ServerSoftware).empty())
        response.Server = ServerSoftware;
    if (continueProcessing) {
        try {
            DoCommandGet(thread, request, response);
        } catch (const std::exception& error) {
            response.SetStatusCode(500);
            response.BodyText = error.what();
        } catch (...) {
            response.SetStatusCode(500);
            response.BodyText = RSHTTPUnknownHandlerError;
        }
    }
    std::exception_ptr failure;
    try {
        response.writeReply(method != "HEAD");
    } catch (...) {
        failure = std::current_exception();
    }
    if (OnRequestDone)
        OnRequestDone(thread, request, response, !failure);
    if (failure)
        std::rethrow_exception(failure);
    return response.CloseAfterReply();
}

bool TIdCustomHTTPServer::readBody(TIdPeerThread& thread, TIdTCPConnection& connection, TIdHTTPRequestInfo& request)
{
    request.RequestBody.reset();
    DoCreatePostStream(thread, request.RequestBody);
    TStringStream text;
    TStream& target = request.RequestBody ? *request.RequestBody : static_cast<TStream&>(text);
    // A body too large to hold is never read: the client learns so and the connection closes.
    try {
        if (request.ContentLength > 0) {
            if (request.ContentLength > IdMaxRequestBody)
                return false;
            connection.readStream(target, request.ContentLength, false);
        } else if (request.Method == "POST" && !request.ContentLengthGiven()) {
            connection.readStream(target, -1, true, IdMaxRequestBody);
        }
    } catch (const EIdReadLimitExceeded&) {
        return false;
    }
    if (!request.RequestBody) {
        request.FormText = text.DataString();
        request.ParamText = request.FormText;
    }
    return true;
}

void TIdCustomHTTPServer::decodeRequest(TIdHTTPRequestInfo& request, std::string target, const std::string& version)
{
    size_t question = target.find('?');
    if (question != std::string::npos) {
        request.QueryText = target.substr(question + 1);
        target.erase(question);
    }
    if (!request.QueryText.empty())
        request.ParamText = request.ParamText.empty() ? request.QueryText : request.ParamText + "&" + request.QueryText;
    if (ParseParams) {
        const bool formData = LowerCase(request.ContentType) == "application/x-www-form-urlencoded";
        DecodeParams(formData ? request.ParamText : request.QueryText, request.ParamList);
    }
    addCookies(request);
    request.HttpVersion = version;
    if (target == "*") {
        request.Path.assign(1, '*');
    } else {
        TIdURIParts parts = TIdURI::split(target);
        request.Path = TIdURI::URLDecode(parts.Path) + TIdURI::URLDecode(parts.Document) + parts.Params;
        if (!parts.Host.empty() && request.Host.empty())
            request.Host = parts.Host;
    }
    readCredentials(request);
}

std::shared_ptr<TIdHTTPSession> TIdCustomHTTPServer::CreateSession(TIdPeerThread& thread, TIdHTTPResponseInfo& response,
                                                                   TIdHTTPRequestInfo& request)
{
    if (!m_sessionState)
        return nullptr;
    std::shared_ptr<TIdHTTPSession> session;
    if (OnCreateSession)
        OnCreateSession(thread, session);
    if (session)
        m_sessions.AddSession(session);
    else
        session = m_sessions.StartUniqueSession(request.PeerAddress);
    TIdServerCookie& cookie = response.CookieList.AddSrvCookie();
    cookie.CookieName = IdSessionCookieName;
    cookie.Value = session->SessionId();
    cookie.Path.assign(1, '/');
    request.Session = session;
    response.Session = session;
    return session;
}

void TIdCustomHTTPServer::sessionStep(TIdPeerThread& thread, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response,
                                      bool& continueProcessing)
{
    std::shared_ptr<TIdHTTPSession> session;
    if (m_sessionState) {
        for (long index = request.CookieList.indexOf(IdSessionCookieName); index >= 0 && !session;
             index = request.CookieList.indexOf(IdSessionCookieName, static_cast<size_t>(index) + 1)) {
            const std::string& id = request.CookieList[static_cast<size_t>(index)].Value;
            session = m_sessions.FindSession(id, request.PeerAddress);
            if (!session)
                DoInvalidSession(thread, request, response, continueProcessing, id);
        }
        if (!session && AutoStartSession && continueProcessing)
            session = CreateSession(thread, response, request);
    }
    request.Session = session;
    response.Session = session;
}

void TIdCustomHTTPServer::replyTooLarge(TIdTCPConnection& connection)
{
    TIdHTTPResponseInfo response(connection, *m_clock);
    response.SetStatusCode(413);
    response.SetCloseAfterReply(true);
    if (!Trim(ServerSoftware).empty())
        response.Server = ServerSoftware;
    response.BodyText = statusPage(413, response.ReasonPhrase);
    response.writeReply(true);
}

}  // namespace velmora
