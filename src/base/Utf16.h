#pragma once
// UTF-8, the program's own text, to and from UTF-16, the text of every Windows call. Malformed
// input never stops a conversion: each bad sequence becomes U+FFFD.

#include <string>
#include <string_view>

namespace velmora {

std::u16string Utf16Of(std::string_view utf8);
std::string Utf8Of(std::u16string_view utf16);

// The same for the wide strings of the Windows API, whose units are UTF-16 there.
std::wstring WideOf(std::string_view utf8);
std::string Utf8OfWide(std::wstring_view wide);

}  // namespace velmora
