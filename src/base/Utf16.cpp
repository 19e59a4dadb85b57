#include "base/Utf16.h"

namespace velmora {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// The code point that starts at text[at], moving at past it.
char32_t decodeUtf8(std::string_view text, size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    int length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return Replacement;
    char32_t code = lead & (0x3F >> (length - 1));
    for (int i = 1; i < length; ++i) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            return Replacement;
        code = (code << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return Replacement;
    return code;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

template <class Units>
Units toUtf16(std::string_view utf8)
{
    Units out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        char32_t code = decodeUtf8(utf8, at);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<typename Units::value_type>(0xD800 + (code >> 10));
            out += static_cast<typename Units::value_type>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<typename Units::value_type>(code);
        }
    }
    return out;
}

template <class View>
std::string fromUtf16(View utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (size_t at = 0; at < utf16.size(); ++at) {
        char32_t code = static_cast<char16_t>(utf16[at]);
        if (code >= 0xD800 && code <= 0xDBFF && at + 1 < utf16.size()) {
            const char32_t low = static_cast<char16_t>(utf16[at + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++at;
            }
        }
        appendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? Replacement : code);
    }
    return out;
}

}  // namespace

std::u16string Utf16Of(std::string_view utf8)
{
    return toUtf16<std::u16string>(utf8);
}

std::string Utf8Of(std::u16string_view utf16)
{
    return fromUtf16(utf16);
}

std::wstring WideOf(std::string_view utf8)
{
    return toUtf16<std::wstring>(utf8);
}

std::string Utf8OfWide(std::wstring_view wide)
{
    return fromUtf16(wide);
}

}  // namespace velmora
