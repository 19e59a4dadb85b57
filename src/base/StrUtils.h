#pragma once
// Text helpers for the system's 8-bit texts: letter case is ignored for ASCII letters only, and
// the bytes of multi-byte UTF-8 characters compare exactly.

#include <string>
#include <string_view>

namespace velmora {

bool SameText(std::string_view a, std::string_view b);
std::string UpperCase(std::string text);
std::string LowerCase(std::string text);
// Without the leading and trailing bytes of code 32 or less.
std::string Trim(std::string_view text);
// The same, as a view of the text, for a caller that need not copy it.
std::string_view TrimmedView(std::string_view text);

}  // namespace velmora
