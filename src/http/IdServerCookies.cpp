#include "http/IdServerCookies.h"

#include "http/IdStrings.h"

namespace velmora {

TIdCookieRFC2109& TIdServerCookies::AddCookie(const std::string& text, const TClock& clock)
{
    m_cookies.push_back(std::make_unique<TIdCookieRFC2109>());
    m_cookies.back()->parse(text, clock);
    return *m_cookies.back();
}

TIdServerCookie& TIdServerCookies::AddSrvCookie()
{
    auto cookie = std::make_unique<TIdServerCookie>();
    TIdServerCookie& added = *cookie;
    m_cookies.push_back(std::move(cookie));
    return added;
}

long TIdServerCookies::indexOf(const std::string& name, size_t start) const
{
    for (size_t i = start; i < m_cookies.size(); ++i)
        if (SameText(m_cookies[i]->CookieName, name))
            return static_cast<long>(i);
    return -1;
}

}  // namespace velmora
