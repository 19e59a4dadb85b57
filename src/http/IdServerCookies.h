#pragma once
// The cookies of one request (received) or one response (to set), in order.

#include <memory>
#include <string>
#include <vector>

#include "http/IdCookie.h"

namespace velmora {

class TIdServerCookies {
public:
    // A received cookie parsed from one cookie text.
    TIdCookieRFC2109& AddCookie(const std::string& text, const TClock& clock = TClock::system());
    // A new empty cookie to set.
    TIdServerCookie& AddSrvCookie();
    size_t count() const { return m_cookies.size(); }
    TIdCookieRFC2109& operator[](size_t index) const { return *m_cookies[index]; }
    // The first cookie of that name in any letter case from start on, or -1.
    long indexOf(const std::string& name, size_t start = 0) const;

private:
    std::vector<std::unique_ptr<TIdCookieRFC2109>> m_cookies;
};

}  // namespace velmora
