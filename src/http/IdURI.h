#pragma once
// The split of a request target into its parts, and the decoding of "%" escapes.

#include <string>

namespace velmora {

struct TIdURIParts {
    std::string Protocol;
    std::string Username;
    std::string Password;
    std::string Host;
    std::string Port;
    // Up to and including the last "/" before the parameters.
    std::string Path;
    std::string Document;
    // From the first "?" (or, without one, the first "=") up to a "#".
    std::string Params;
};

class TIdURI {
public:
    // "\" counts as "/"; a target with "://" names a scheme and an authority before its path.
    static TIdURIParts split(std::string target);
    // "%" with two hexadecimal digits from 01 to FF gives that byte; "%" with anything else gives
    // nothing, and its (up to) two following characters are consumed with it.
    static std::string URLDecode(const std::string& text);
};

}  // namespace velmora
