#pragma once
// The header fields shared by HTTP requests and responses: read from HeaderLines for a received
// request, written into HeaderLines for a reply.

#include <cstdint>
#include <string>

#include "http/IdHTTPDate.h"
#include "http/IdHeaderList.h"

namespace velmora {

class TIdEntityHeaderInfo {
public:
    TIdEntityHeaderInfo();
    virtual ~TIdEntityHeaderInfo() = default;

    TIdHeaderList HeaderLines;
    TIdHeaderList CustomHeaders;
    std::string CacheControl;
    std::string Connection;
    std::string ContentVersion;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType;
    std::string Pragma;
    // -1 = none. 64 bits: a reply may carry a file of 2 GiB or more; a request's is read within 32.
    int64_t ContentLength = -1;
    uint32_t ContentRangeStart = 0;
    uint32_t ContentRangeEnd = 0;
    // The epoch = none.
    TIdDateTime Date{};
    TIdDateTime Expires{};
    TIdDateTime LastModified{};

    bool ContentLengthGiven() const { return ContentLength >= 0; }

    // Fills the fields from HeaderLines.
    virtual void ProcessHeaders();
    // Fills HeaderLines from the fields.
    virtual void SetHeaders();
};

class TIdRequestHeaderInfo : public TIdEntityHeaderInfo {
public:
    std::string Accept;
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    std::string Host;
    std::string From;
    std::string Referer;
    std::string UserAgent;
    std::string ProxyConnection;

    void ProcessHeaders() override;
};

class TIdResponseHeaderInfo : public TIdEntityHeaderInfo {
public:
    TIdResponseHeaderInfo();

    std::string Location;
    std::string Server;
    std::string ProxyConnection;
    std::string ProxyAuthenticate;
    std::string WWWAuthenticate;

    void SetHeaders() override;
};

// A trimmed decimal number within 32 bits; -1 for anything else.
int32_t ParseContentLength(const std::string& text);

}  // namespace velmora
