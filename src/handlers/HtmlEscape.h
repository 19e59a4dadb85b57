#pragma once
// Request-derived text is escaped for where it goes: in an HTML reply no markup is reflected, and
// in a log line no control character can end the line or forge another.

#include <string>
#include <string_view>

namespace velmora {

// "&", "<", ">" and '"' as character entities; every other byte unchanged.
std::string HtmlEscape(std::string_view text);

// Control characters (below 0x20, and 0x7F) as "%" and two upper-case hexadecimal digits ("%0A");
// every other byte unchanged.
std::string LogLineEscape(std::string_view text);

}  // namespace velmora
