#pragma once
// Strict UTF-8 decoding one character at a time, shared by every reader of UTF-8 names and texts.

#include <cstddef>
#include <string_view>

namespace velmora::unicode {

// Decodes the character at text[pos] and moves pos past it. Answers false for a byte that does
// not begin a well-formed sequence (over-long forms, surrogates and values above U+10FFFF
// included); pos then moves past that one byte and c is left unchanged.
inline bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& c)
{
    auto b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
        c = b;
        ++pos;
        return true;
    }
    size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    char32_t value = b & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    bool ok = length > 0 && pos + length <= text.size();
    for (size_t k = 1; ok && k < length; ++k) {
        auto next = static_cast<unsigned char>(text[pos + k]);
        ok = (next & 0xC0) == 0x80;
        value = (value << 6) | (next & 0x3F);
    }
    ok = ok && !(length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) &&
        !(length == 4 && (value < 0x10000 || value > 0x10FFFF));
    if (!ok) {
        ++pos;
        return false;
    }
    c = value;
    pos += length;
    return true;
}

}  // namespace velmora::unicode
