#include "http/IdHTTPResponseInfo.h"

#include "http/IdTCPConnection.h"

namespace velmora {

namespace {

struct StatusRow {
    int code;
    const char* phrase;
};

const StatusRow kStatusTable[] = {
    {100, "Continue"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {301, "Moved Permanently"},
    {302, "Moved Temporarily"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method not allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity To Long"},
    {414, "Request-URI Too Long. 256 Chars max"},
    {415, "Unsupported Media Type"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway timeout"},
    {505, "HTTP version not supported"},
};

int64_t streamSize(TStream& stream)
{
    if (auto* file = dynamic_cast<TFileStream*>(&stream)) {
        // The open has just read the size; a file opened otherwise is asked.
        const int64_t size = file->SizeAtOpen() >= 0 ? file->SizeAtOpen() : file->FileSize();
        if (size >= 0)
            return size;
    }
    return stream.Size();
}

std::string statusPage(int code, const std::string& phrase)
{
    return "<HTML><BODY><B>" + std::to_string(code) + " " + phrase + "</B></BODY></HTML>";
}

}  // namespace

TIdHTTPResponseInfo::TIdHTTPResponseInfo(TIdTCPConnection& connection, const TClock& clock)
    : m_connection(connection), m_clock(clock)
{
}

TIdHTTPResponseInfo::~TIdHTTPResponseInfo()
{
    releaseBody();
}

std::string TIdHTTPResponseInfo::ReasonPhraseFor(int code)
{
    for (const StatusRow& row : kStatusTable)
        if (row.code == code)
            return row.phrase;
    return RSHTTPUnknownResponseCode;
}

void TIdHTTPResponseInfo::SetStatusCode(int code)
{
    m_statusCode = code;
    ReasonPhrase = ReasonPhraseFor(code);
    if (code == 404)
        SetCloseAfterReply(true);
}

void TIdHTTPResponseInfo::SetCloseAfterReply(bool close)
{
    m_closeAfterReply = close;
    Connection = close ? "close" : "keep-alive";
}

void TIdHTTPResponseInfo::SetHeaders()
{
    TIdResponseHeaderInfo::SetHeaders();
    if (Realm.empty())
        return;
    SetStatusCode(401);
    HeaderLines.setValue("WWW-Authenticate", "Basic realm=\"" + Realm + "\"");
    if (ContentLength == -1) {
        BodyText = statusPage(401, "Unauthorized");
        ContentLength = static_cast<int64_t>(BodyText.size());
    }
}

size_t TIdHTTPResponseInfo::headSizeHint() const
{
    // The status line and the blank line, every header line with its line end, and room for the
    // usual session cookie, so that the head is built in one allocation.
    size_t size = 64 + ReasonPhrase.size();
    for (const std::string& line : HeaderLines)
        size += line.size() + 2;
    return size + 64 * CookieList.count();
}

void TIdHTTPResponseInfo::WriteHead()
{
    writeHead(false);
}

void TIdHTTPResponseInfo::writeHead(bool bodyFollows)
{
    if (m_headWritten)
        throw EIdHTTPHeaderAlreadyWritten(RSHTTPHeaderAlreadyWritten);
    m_headWritten = true;
    if (ContentLength == -1) {
        if (!BodyText.empty())
            ContentLength = static_cast<int64_t>(BodyText.size());
        else if (BodyStream)
            ContentLength = m_bodyStreamSize = streamSize(*BodyStream);
    }
    SetHeaders();
    m_connection.openWriteBuffer();
    try {
        std::string head;
        head.reserve(headSizeHint());
        head.append("HTTP/1.1 ").append(std::to_string(m_statusCode)).append(" ").append(ReasonPhrase).append("\r\n");
        for (const std::string& line : HeaderLines)
            head.append(line).append("\r\n");
        for (size_t i = 0; i < CookieList.count(); ++i)
            head.append("Set-Cookie: ").append(CookieList[i].ServerCookie(m_clock)).append("\r\n");
        head.append("\r\n");
        m_connection.write(head);
    } catch (...) {
        m_connection.closeWriteBuffer();
        throw;
    }
    m_connection.closeWriteBuffer(bodyFollows);
}

void TIdHTTPResponseInfo::releaseBody()
{
    BodyText.clear();
    if (!OwnsBodyStream)
        (void)BodyStream.release();
    BodyStream.reset();
}

void TIdHTTPResponseInfo::WriteBody()
{
    if (!m_headWritten)
        writeHead(true);
    try {
        if (!BodyText.empty())
            m_connection.write(BodyText);
        else if (BodyStream)
            m_connection.writeStream(*BodyStream, true, m_bodyStreamSize);
        else
            m_connection.writeLn(statusPage(m_statusCode, ReasonPhrase));
    } catch (...) {
        releaseBody();
        throw;
    }
    releaseBody();
}

void TIdHTTPResponseInfo::writeReply(bool withBody)
{
    // A challenge for Realm makes its body while the head is built.
    auto hasBody = [this] { return !BodyText.empty() || BodyStream || (!m_headWritten && !Realm.empty()); };
    if (!m_headWritten)
        writeHead(withBody && hasBody());
    if (withBody && hasBody())
        WriteBody();
    releaseBody();
}

}  // namespace velmora
