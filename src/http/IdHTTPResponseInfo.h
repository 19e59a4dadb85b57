#pragma once
// The reply to one request: status, headers, cookies and a text or stream body, written as an HTTP/1.1
// reply whose head goes out in one send. A body stream belongs to the record, which frees it after
// sending (unless OwnsBodyStream is cleared, when it is only let go).

#include <memory>
#include <string>

#include "base/Stream.h"
#include "http/IdHTTPHeaderInfo.h"
#include "http/IdServerCookies.h"
#include "net/IdException.h"

namespace velmora {

class TIdTCPConnection;
class TIdHTTPSession;

class EIdHTTPServerError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdHTTPHeaderAlreadyWritten : public EIdHTTPServerError {
public:
    using EIdHTTPServerError::EIdHTTPServerError;
};

inline constexpr const char* RSHTTPHeaderAlreadyWritten = "Header has already been written.";
inline constexpr const char* RSHTTPUnknownResponseCode = "Unknown Response Code";

class TIdHTTPResponseInfo : public TIdResponseHeaderInfo {
public:
    explicit TIdHTTPResponseInfo(TIdTCPConnection& connection, const TClock& clock = TClock::system());
    ~TIdHTTPResponseInfo() override;

    int StatusCode() const { return m_statusCode; }
    // Also sets ReasonPhrase from the status table; 404 also closes the connection after the reply.
    void SetStatusCode(int code);
    std::string ReasonPhrase = "OK";

    bool CloseAfterReply() const { return m_closeAfterReply; }
    // Also sets Connection to "close" or "keep-alive".
    void SetCloseAfterReply(bool close);

    TIdServerCookies CookieList;
    // Wins over BodyStream.
    std::string BodyText;
    std::unique_ptr<TStream> BodyStream;
    bool OwnsBodyStream = true;
    // Not empty: the reply becomes a 401 challenge for this realm.
    std::string Realm;
    std::shared_ptr<TIdHTTPSession> Session;

    bool HeadWritten() const { return m_headWritten; }
    // Throws EIdHTTPHeaderAlreadyWritten the second time.
    void WriteHead();
    // Writes the head if needed, then BodyText, else BodyStream, else a small HTML page of the status.
    void WriteBody();

    // Head and body as the request loop sends them; a reply to HEAD keeps its head, with the length
    // the body would have had, and sends no body.
    void writeReply(bool withBody);

    static std::string ReasonPhraseFor(int code);

    void SetHeaders() override;

private:
    void writeHead(bool bodyFollows);
    size_t headSizeHint() const;
    void releaseBody();

    TIdTCPConnection& m_connection;
    const TClock& m_clock;
    // The body stream's size as the head announced it, so that the file is not asked twice.
    int64_t m_bodyStreamSize = 0;
    int m_statusCode = 200;
    bool m_closeAfterReply = false;
    bool m_headWritten = false;
};

}  // namespace velmora
