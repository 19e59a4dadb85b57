#pragma once
// Request-derived text is escaped for an HTML reply, so that no markup is reflected.

#include <string>
#include <string_view>

namespace velmora {

// "&", "<", ">" and '"' as character entities; every other byte unchanged.
std::string HtmlEscape(std::string_view text);

}  // namespace velmora
