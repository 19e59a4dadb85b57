#pragma once
// A cookie as received in a "Cookie" request header or a "Set-Cookie" value, and the server's cookie
// whose server form follows "Set-Cookie: " in a reply.

#include <cstdint>
#include <string>

#include "base/Clock.h"

namespace velmora {

class TIdCookieRFC2109 {
public:
    TIdCookieRFC2109() = default;
    virtual ~TIdCookieRFC2109() = default;

    std::string CookieText;
    std::string CookieName;
    std::string Value;
    std::string Path;
    std::string Domain;
    std::string Expires;
    bool Secure = false;
    // -1 = none.
    int64_t MaxAge = -1;
    std::string Version;
    std::string Comment;

    // Fills the cookie from one cookie text; the text it was last parsed from changes nothing.
    void parse(const std::string& text, const TClock& clock = TClock::system());
    // The attributes joined by "; ", each only when set; an empty value writes no name part.
    std::string ServerCookie(const TClock& clock = TClock::system()) const;

protected:
    explicit TIdCookieRFC2109(bool writesExpires) : m_writesExpires(writesExpires) {}

private:
    bool m_writesExpires = false;
};

// A cookie the server sets: its expiry is written, and a max-age becomes an expiry date.
class TIdServerCookie : public TIdCookieRFC2109 {
public:
    TIdServerCookie() : TIdCookieRFC2109(true) {}
};

}  // namespace velmora
