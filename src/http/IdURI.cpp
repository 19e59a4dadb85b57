#include "http/IdURI.h"

#include <algorithm>

namespace velmora {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void splitAuthority(const std::string& authority, TIdURIParts& parts)
{
    std::string hostPart = authority;
    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string credentials = authority.substr(0, at);
        hostPart = authority.substr(at + 1);
        size_t colon = credentials.find(':');
        parts.Username = credentials.substr(0, colon);
        // A password without a user is dropped.
        if (colon != std::string::npos && !parts.Username.empty())
            parts.Password = credentials.substr(colon + 1);
    }
    size_t colon = hostPart.find(':');
    parts.Host = hostPart.substr(0, colon);
    if (colon != std::string::npos)
        parts.Port = hostPart.substr(colon + 1);
}

}  // namespace

TIdURIParts TIdURI::split(std::string target)
{
    TIdURIParts parts;
    for (char& c : target)
        if (c == '\\')
            c = '/';
    std::string relative = target;
    const bool absolute = target.find("://") != std::string::npos;
    if (absolute) {
        size_t scheme = target.find("://");
        parts.Protocol = target.substr(0, scheme);
        std::string rest = target.substr(scheme + 3);
        size_t slash = rest.find('/');
        splitAuthority(rest.substr(0, slash), parts);
        relative = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    }
    size_t params = relative.find('?');
    if (params == std::string::npos)
        params = relative.find('=');
    std::string before = params == std::string::npos ? relative : relative.substr(0, params);
    if (params != std::string::npos) {
        parts.Params = relative.substr(params);
        size_t hash = parts.Params.find('#');
        if (hash != std::string::npos)
            parts.Params.erase(hash);
    }
    size_t lastSlash = before.rfind('/');
    parts.Path = lastSlash == std::string::npos ? std::string() : before.substr(0, lastSlash + 1);
    parts.Document = lastSlash == std::string::npos ? before : before.substr(lastSlash + 1);
    if (absolute) {
        std::string rooted(1, '/');
        rooted += parts.Path;
        parts.Path = std::move(rooted);
        size_t hash = parts.Document.find('#');
        if (hash != std::string::npos)
            parts.Document.erase(hash);
    }
    return parts;
}

std::string TIdURI::URLDecode(const std::string& text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        // The escape takes the two characters after it, or the one left at the end of the text; they
        // give a byte when they form a hexadecimal number from 01 to FF.
        const size_t taken = std::min<size_t>(2, text.size() - 1 - i);
        int value = taken > 0 ? 0 : -1;
        for (size_t k = 1; k <= taken && value >= 0; ++k) {
            int digit = hexValue(text[i + k]);
            value = digit < 0 ? -1 : value * 16 + digit;
        }
        if (value > 0)
            decoded += static_cast<char>(value);
        i += taken;
    }
    return decoded;
}

}  // namespace velmora
