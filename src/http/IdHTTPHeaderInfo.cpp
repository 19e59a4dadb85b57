#include "http/IdHTTPHeaderInfo.h"

namespace velmora {

namespace {

inline constexpr size_t IdHeaderFoldLength = 1024;
inline constexpr const char* IdDefaultServerSoftware = "Velmora HTTP Server";

uint32_t rangeNumber(const std::string& text)
{
    uint64_t value = 0;
    if (text.empty() || text.size() > 10)
        return 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(value);
}

TIdDateTime dateHeader(const TIdHeaderList& headers, const char* name)
{
    return GMTToLocalDateTime(headers.values(name)).value_or(TIdDateTime{});
}

void addHeader(TIdHeaderList& headers, std::string_view name, std::string_view value)
{
    if (value.empty())
        return;
    // One allocation for the line, which is then moved into the list.
    std::string line;
    line.reserve(name.size() + headers.NameValueSeparator.size() + value.size());
    line.append(name).append(headers.NameValueSeparator).append(value);
    headers.add(std::move(line));
}

// The lines a reply's fields and its custom headers can give at most, so that the list grows once.
size_t linesAtMost(const TIdHeaderList& customHeaders)
{
    return 16 + customHeaders.count();
}

}  // namespace

int32_t ParseContentLength(const std::string& text)
{
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed.size() > 10)
        return -1;
    int64_t value = 0;
    for (char c : trimmed) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value > INT32_MAX ? -1 : static_cast<int32_t>(value);
}

TIdEntityHeaderInfo::TIdEntityHeaderInfo()
{
    HeaderLines.FoldLength = IdHeaderFoldLength;
}

void TIdEntityHeaderInfo::ProcessHeaders()
{
    ContentVersion = HeaderLines.values("Content-Version");
    ContentEncoding = HeaderLines.values("Content-Encoding");
    ContentLanguage = HeaderLines.values("Content-Language");
    ContentType = HeaderLines.values("Content-Type");
    ContentLength = ParseContentLength(HeaderLines.values("Content-Length"));
    std::string range = HeaderLines.values("Range");
    size_t equals = range.find('=');
    if (equals != std::string::npos) {
        size_t dash = range.find('-', equals);
        ContentRangeStart =
            rangeNumber(range.substr(equals + 1, dash == std::string::npos ? std::string::npos : dash - equals - 1));
        if (dash != std::string::npos)
            ContentRangeEnd = rangeNumber(range.substr(dash + 1, range.find(' ', dash) - dash - 1));
    }
    Date = dateHeader(HeaderLines, "Date");
    LastModified = dateHeader(HeaderLines, "Last-Modified");
    std::string expires = HeaderLines.values("Expires");
    if (int32_t seconds = ParseContentLength(expires); seconds >= 0)
        Expires = std::chrono::system_clock::now() + std::chrono::seconds(seconds);
    else
        Expires = GMTToLocalDateTime(expires).value_or(TIdDateTime{});
    Pragma = HeaderLines.values("Pragma");
    Connection = HeaderLines.values("Connection");
}

void TIdEntityHeaderInfo::SetHeaders()
{
    HeaderLines.clear();
    HeaderLines.reserve(linesAtMost(CustomHeaders));
    addHeader(HeaderLines, "Connection", Connection);
    addHeader(HeaderLines, "Content-Version", ContentVersion);
    addHeader(HeaderLines, "Content-Encoding", ContentEncoding);
    addHeader(HeaderLines, "Content-Language", ContentLanguage);
    addHeader(HeaderLines, "Content-Type", ContentType);
    if (ContentLength >= 0)
        addHeader(HeaderLines, "Content-Length", std::to_string(ContentLength));
    addHeader(HeaderLines, "Cache-control", CacheControl);
    if (Date != TIdDateTime{})
        addHeader(HeaderLines, "Date", DateTimeToInternetStr(Date));
    if (Expires != TIdDateTime{})
        addHeader(HeaderLines, "Expires", DateTimeToInternetStr(Expires));
    if (LastModified != TIdDateTime{})
        addHeader(HeaderLines, "Last-Modified", DateTimeGMTToHttpStr(LastModified));
    addHeader(HeaderLines, "Pragma", Pragma);
    for (const std::string& line : CustomHeaders)
        HeaderLines.add(line);
}

void TIdRequestHeaderInfo::ProcessHeaders()
{
    TIdEntityHeaderInfo::ProcessHeaders();
    Accept = HeaderLines.values("Accept");
    AcceptCharSet = HeaderLines.values("Accept-Charset");
    AcceptEncoding = HeaderLines.values("Accept-Encoding");
    AcceptLanguage = HeaderLines.values("Accept-Language");
    Host = HeaderLines.values("Host");
    From = HeaderLines.values("From");
    Referer = HeaderLines.values("Referer");
    UserAgent = HeaderLines.values("User-Agent");
}

TIdResponseHeaderInfo::TIdResponseHeaderInfo()
{
    HeaderLines.FoldLines = false;
    ContentType = "text/html";
    Server = IdDefaultServerSoftware;
}

void TIdResponseHeaderInfo::SetHeaders()
{
    TIdEntityHeaderInfo::SetHeaders();
    if (!Server.empty())
        HeaderLines.setValue("Server", Server);
    // Content-Type, Content-Length and Last-Modified need no second setting here: the fields above
    // have just written those very lines, each the first of its name, and a setting replaces the
    // first line of a name in its place, which would leave the same text where it stands.
    if (!Location.empty())
        HeaderLines.setValue("Location", Location);
}

}  // namespace velmora
