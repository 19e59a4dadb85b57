#pragma once
// Character classes of XML 1.0 and the text helpers of the XML reader, which works in UTF-16
// (`WideString`) while the rest of the program speaks UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {

using WideChar = char16_t;
using WideString = std::u16string;
using WideView = std::u16string_view;

// The encodings an input can be read in, as reported to the outside. A document declared
// ISO-8859-1 is decoded as Windows-1252 (its superset on Windows) but still reported as declared.
enum class TXpCharEncoding { ceUnknown, ceUTF8, ceUTF16LE, ceUTF16BE, ceISO88591, ceWindows1252, ceISO885915 };

namespace xpchar {

// The Char production of XML 1.0 for a whole code point.
inline bool IsXmlChar(uint32_t c)
{
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

inline bool IsWhitespace(uint32_t c)
{
    return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD;
}

// Letter (BaseChar or Ideographic) of XML 1.0 Appendix B, on one UTF-16 code unit.
bool IsLetter(uint32_t c);
bool IsDigit(uint32_t c);
bool IsCombiningChar(uint32_t c);
bool IsExtender(uint32_t c);

namespace detail {
extern const uint8_t kAsciiClass[128];
}
inline constexpr uint8_t kNameStart = 1;
inline constexpr uint8_t kNameChar = 2;

// Letter, "_" or ":".
inline bool IsNameStart(uint32_t c)
{
    if (c < 128)
        return (detail::kAsciiClass[c] & kNameStart) != 0;
    return IsLetter(c);
}

// Letter, Digit, ".", "-", "_", ":", CombiningChar or Extender.
inline bool IsNameChar(uint32_t c)
{
    if (c < 128)
        return (detail::kAsciiClass[c] & kNameChar) != 0;
    return IsLetter(c) || IsDigit(c) || IsCombiningChar(c) || IsExtender(c);
}

bool IsPubidChar(uint32_t c);

inline bool IsHighSurrogate(uint32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(uint32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace xpchar

// The first unit in [p, e) that equals one of a, b, c, d, or e when none does.
inline const WideChar* XpFindAny(const WideChar* p, const WideChar* e, WideChar a, WideChar b, WideChar c, WideChar d)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    const __m128i vc = _mm_set1_epi16(static_cast<short>(c));
    const __m128i vd = _mm_set1_epi16(static_cast<short>(d));
    while (e - p >= 8) {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, va), _mm_cmpeq_epi16(units, vb)),
                                   _mm_or_si128(_mm_cmpeq_epi16(units, vc), _mm_cmpeq_epi16(units, vd)));
        int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return p + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
        p += 8;
    }
#endif
    while (p < e && *p != a && *p != b && *p != c && *p != d)
        ++p;
    return p;
}

// Valid XML name: non-empty, a name-start unit followed by name units.
bool XpIsName(WideView name);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(WideView text);
// UTF-8 to UTF-16; an invalid sequence becomes U+FFFD.
WideString FromUtf8(std::string_view text);
// Appends one code point as one unit or a surrogate pair.
void AppendCodePoint(WideString& out, uint32_t c);

// Simple case folding for names compared "ignoring letter case": ASCII and Latin-1 letters.
inline WideChar XpUpCase(WideChar c)
{
    if (c >= u'a' && c <= u'z')
        return static_cast<WideChar>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<WideChar>(c - 32);
    return c;
}
bool XpSameTextIgnoringCase(WideView a, WideView b);
WideString XpUpperCase(WideView text);
size_t XpCaseFoldHash(WideView text);

// Wraps a text in single quotes, doubling an embedded single quote (for messages).
std::string XpQuoted(WideView text);

}  // namespace velmora
