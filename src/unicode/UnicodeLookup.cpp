// Lookups in the generated tables; each table is sorted by code point.
#include <algorithm>

#include "unicode/UnicodeTables.h"

namespace velmora::unicode {

namespace {

// Hangul syllables: a leading consonant, a vowel and an optional trailing consonant by formula.
constexpr char32_t kHangulFirst = 0xAC00;
constexpr char32_t kLeadFirst = 0x1100;
constexpr char32_t kVowelFirst = 0x1161;
constexpr char32_t kTrailFirst = 0x11A7;
constexpr char32_t kVowelCount = 21;
constexpr char32_t kTrailCount = 28;
constexpr char32_t kHangulCount = 19 * kVowelCount * kTrailCount;

}  // namespace

char32_t SimpleCaseFold(char32_t c)
{
    using detail::kFoldRuns;
    const auto* end = kFoldRuns + detail::kFoldRunCount;
    const auto* run =
        std::upper_bound(kFoldRuns, end, c, [](char32_t value, const detail::FoldRun& r) { return value < r.first; });
    if (run == kFoldRuns)
        return c;
    --run;
    char32_t offset = c - run->first;
    if (offset % run->stride != 0 || offset / run->stride >= run->count)
        return c;
    return static_cast<char32_t>(static_cast<int32_t>(c) + run->delta);
}

bool CanonicalDecomposition(char32_t c, char32_t& first, char32_t& second)
{
    if (c >= kHangulFirst && c < kHangulFirst + kHangulCount) {
        char32_t index = c - kHangulFirst;
        char32_t trail = index % kTrailCount;
        if (trail != 0) {
            // LV syllable + trailing consonant.
            first = c - trail;
            second = kTrailFirst + trail;
        } else {
            first = kLeadFirst + index / (kVowelCount * kTrailCount);
            second = kVowelFirst + (index % (kVowelCount * kTrailCount)) / kTrailCount;
        }
        return true;
    }
    using detail::kDecompositions;
    const auto* end = kDecompositions + detail::kDecompositionCount;
    const auto* row = std::lower_bound(kDecompositions, end, c,
                                       [](const detail::Decomposition& d, char32_t value) { return d.code < value; });
    if (row == end || row->code != c)
        return false;
    first = row->first;
    second = row->second;
    return true;
}

uint8_t CombiningClass(char32_t c)
{
    using detail::kCombiningRuns;
    const auto* end = kCombiningRuns + detail::kCombiningRunCount;
    const auto* run = std::upper_bound(kCombiningRuns, end, c,
                                       [](char32_t value, const detail::CombiningRun& r) { return value < r.first; });
    if (run == kCombiningRuns || c > (run - 1)->last)
        return 0;
    return (run - 1)->combiningClass;
}

}  // namespace velmora::unicode
