#include "http/IdCookie.h"

#include <vector>

#include "http/IdHTTPDate.h"
#include "http/IdStrings.h"

namespace velmora {

namespace {

std::vector<std::string> pieces(const std::string& text)
{
    std::vector<std::string> result;
    size_t start = 0;
    for (;;) {
        size_t semicolon = text.find(';', start);
        result.push_back(Trim(std::string_view(text).substr(
            start, semicolon == std::string::npos ? std::string::npos : semicolon - start)));
        if (semicolon == std::string::npos)
            return result;
        start = semicolon + 1;
    }
}

std::optional<int64_t> decimal(const std::string& text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    int64_t value = 0;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return text[0] == '-' ? -value : value;
}

std::string unquoted(std::string text)
{
    if (!text.empty() && text.front() == '"')
        text.erase(0, 1);
    if (!text.empty() && text.back() == '"')
        text.pop_back();
    return text;
}

void addAttribute(std::string& form, const std::string& attribute)
{
    if (!form.empty())
        form += "; ";
    form += attribute;
}

}  // namespace

void TIdCookieRFC2109::parse(const std::string& text, const TClock& clock)
{
    if (text == CookieText)
        return;
    CookieText = text;
    auto parts = pieces(text);
    size_t equals = parts[0].find('=');
    CookieName = equals == std::string::npos ? std::string() : parts[0].substr(0, equals);
    Value = equals == std::string::npos ? std::string() : parts[0].substr(equals + 1);
    Path.clear();
    Domain.clear();
    Expires.clear();
    Version.clear();
    Comment.clear();
    Secure = false;
    MaxAge = -1;
    bool maxAgeGiven = false;
    for (size_t i = 1; i < parts.size(); ++i) {
        size_t eq = parts[i].find('=');
        std::string name = UpperCase(parts[i].substr(0, eq));
        std::string value = eq == std::string::npos ? std::string() : parts[i].substr(eq + 1);
        if (name == "PATH")
            Path = unquoted(value);
        else if (name == "EXPIRES")
            Expires = value;
        else if (name == "DOMAIN")
            Domain = value;
        else if (name == "SECURE")
            Secure = true;
        else if (name == "MAX-AGE")
            MaxAge = decimal(value).value_or(-1), maxAgeGiven = true;
        else if (name == "VERSION")
            Version = value;
        else if (name == "COMMENT")
            Comment = value;
    }
    if (maxAgeGiven && MaxAge >= 0 && Expires.empty()) {
        Expires = DateTimeToInternetStr(clock.wallNow() + std::chrono::seconds(MaxAge));
    } else if (!Expires.empty()) {
        if (auto when = GMTToLocalDateTime(Expires))
            MaxAge = std::chrono::duration_cast<std::chrono::seconds>(*when - clock.wallNow()).count();
    }
}

std::string TIdCookieRFC2109::ServerCookie(const TClock& clock) const
{
    std::string expires = Expires;
    if (m_writesExpires && MaxAge >= 0)
        expires = DateTimeToCookieStr(clock.wallNow() + std::chrono::seconds(MaxAge));
    std::string form;
    if (!Value.empty())
        form = CookieName + "=" + Value;
    if (!Path.empty())
        addAttribute(form, "path=" + Path);
    if (m_writesExpires && !expires.empty())
        addAttribute(form, "expires=" + expires);
    if (!Domain.empty())
        addAttribute(form, "domain=" + Domain);
    if (Secure)
        addAttribute(form, "secure");
    if (MaxAge >= 0 && expires.empty())
        addAttribute(form, "max-age=" + std::to_string(MaxAge));
    if (!Comment.empty())
        addAttribute(form, "comment=" + Comment);
    if (!Version.empty())
        addAttribute(form, "version=" + Version);
    return form;
}

}  // namespace velmora
