#include "unicode/NameMatch.h"

#include <algorithm>

#include "unicode/UnicodeTables.h"
#include "unicode/Utf8.h"

namespace velmora::unicode {

namespace {

// A byte that does not begin a valid UTF-8 sequence becomes a value above every code point.
constexpr char32_t kStrayByteBase = 0x110000;

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = kStrayByteBase + static_cast<unsigned char>(text[i]);
        DecodeUtf8(text, i, c);
        out.push_back(c);
    }
    return out;
}

void appendDecomposed(char32_t c, std::u32string& out)
{
    char32_t first, second;
    if (c >= kStrayByteBase || !CanonicalDecomposition(c, first, second)) {
        out.push_back(c);
        return;
    }
    appendDecomposed(first, out);
    if (second != 0)
        appendDecomposed(second, out);
}

uint8_t combiningClassOf(char32_t c)
{
    return c >= kStrayByteBase ? 0 : CombiningClass(c);
}

}  // namespace

std::u32string Decompose(std::u32string_view text)
{
    std::u32string out;
    out.reserve(text.size() + 4);
    for (char32_t c : text)
        appendDecomposed(c, out);
    // Canonical ordering: each run of combining marks sorted stably by combining class.
    for (size_t i = 0; i < out.size();) {
        if (combiningClassOf(out[i]) == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < out.size() && combiningClassOf(out[end]) != 0)
            ++end;
        std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(i), out.begin() + static_cast<std::ptrdiff_t>(end),
                         [](char32_t a, char32_t b) { return combiningClassOf(a) < combiningClassOf(b); });
        i = end;
    }
    return out;
}

std::u32string NameMatchKey(std::string_view utf8Name)
{
    if (std::all_of(utf8Name.begin(), utf8Name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::u32string key(utf8Name.size(), U'\0');
        std::transform(utf8Name.begin(), utf8Name.end(), key.begin(),
                       [](char c) { return static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
        return key;
    }
    std::u32string folded = Decompose(decodeUtf8(utf8Name));
    for (char32_t& c : folded)
        if (c < kStrayByteBase)
            c = SimpleCaseFold(c);
    return Decompose(folded);
}

bool SameNameIgnoringCaseAndForm(std::string_view a, std::string_view b)
{
    return a == b || NameMatchKey(a) == NameMatchKey(b);
}

}  // namespace velmora::unicode
