// Name matching ignoring letter case and normalisation form, and the tables beneath it.
#include <gtest/gtest.h>

#include "unicode/NameMatch.h"
#include "unicode/UnicodeTables.h"

namespace velmora::unicode {
namespace {

TEST(NameMatch, NamesMatchIgnoringCaseAndNormalisationForm)
{
    const struct {
        const char* a;
        const char* b;
        bool same;
    } rows[] = {
        {"screen.xml", "SCREEN.XML", true},
        {"ILUMINA\xC3\x87\xC3\x83O.PNG", "ilumina\xC3\xA7\xC3\xA3o.png", true},  // NFC, other case
        {"ilumina\xC3\xA7\xC3\xA3o.png",
         "iluminac\xCC\xA7"
         "a\xCC\x83o.png",
         true},  // NFC against NFD
        {"ILUMINA\xC3\x87\xC3\x83O.PNG",
         "iluminac\xCC\xA7"
         "a\xCC\x83o.png",
         true},  // both at once
        {"T\xC3\xA9rreo", "TE\xCC\x81RREO", true},
        {"sala\xE2\x80\x93noite.png", "SALA\xE2\x80\x93NOITE.PNG", true},  // en dash stays
        {"\xCE\xA3\xCE\x8A\xCE\xA3\xCE\xA5\xCE\xA6\xCE\x9F\xCE\xA3",
         "\xCF\x83\xCE\xAF\xCF\x83\xCF\x85\xCF\x86\xCE\xBF\xCF\x82", true},  // Greek, final sigma
        {"\xE1\xBA\x9E", "\xC3\x9F", true},  // capital sharp s
        {"\xE2\x84\xAA", "k", true},  // Kelvin sign
        {"\xE2\x84\xAB", "\xC3\xA5", true},  // Angstrom sign
        {"\xED\x95\x9C", "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB", true},  // Hangul syllable, jamo
        {"a\xCC\xA3\xCC\x82", "a\xCC\x82\xCC\xA3", true},  // marks in either order
        {"\xE1\xBB\x87", "E\xCC\x82\xCC\xA3", true},  // precomposed, both marks
        {"\xE1\x8E\xA0", "\xEA\xAD\xB0", true},  // Cherokee
        {"stra\xC3\x9F"
         "e",
         "STRASSE", false},  // simple folding only
        {"\xEF\xBC\xA1", "A", false},  // compatibility forms differ
        {"\xC3\xA9", "e", false},
        {"a.png", "b.png", false},
        {"a.png", "a.png ", false},
        {"\xE9.png", "\xE9.png", true},  // stray bytes: themselves
        {"\xE9.png", "\xC9.png", false},
        {"\xE9.png", "\xC3\xA9.png", false},
        {"\xC3", "\xC3\x83", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SameNameIgnoringCaseAndForm(row.a, row.b), row.same) << row.a << " / " << row.b;
        EXPECT_EQ(SameNameIgnoringCaseAndForm(row.b, row.a), row.same) << row.b << " / " << row.a;
    }
}

TEST(NameMatch, DecompositionOrdersCombiningMarks)
{
    // d with dot above, then dot below: the dot below (class 220) goes before the dot above (230).
    EXPECT_EQ(Decompose(U"\u1E0B\u0323"), U"d\u0323\u0307");
    EXPECT_EQ(Decompose(U"\u00C7\u00E3"), U"C\u0327a\u0303");
    EXPECT_EQ(Decompose(U"\uAC01"), U"\u1100\u1161\u11A8");  // LVT syllable
    EXPECT_EQ(Decompose(U"plain"), U"plain");
}

TEST(NameMatch, TablesAnswerAtTheirEdges)
{
    EXPECT_EQ(SimpleCaseFold(U'A'), U'a');
    EXPECT_EQ(SimpleCaseFold(U'Z'), U'z');
    EXPECT_EQ(SimpleCaseFold(U'['), U'[');
    EXPECT_EQ(SimpleCaseFold(U'\u0100'), U'\u0101');  // alternating run
    EXPECT_EQ(SimpleCaseFold(U'\u0101'), U'\u0101');
    EXPECT_EQ(SimpleCaseFold(U'\u0130'), U'\u0130');  // only a full or Turkic folding
    EXPECT_EQ(SimpleCaseFold(U'\U00010400'), U'\U00010428');  // Deseret
    EXPECT_EQ(SimpleCaseFold(U'\U0010FFFF'), U'\U0010FFFF');
    EXPECT_EQ(CombiningClass(U'a'), 0);
    EXPECT_EQ(CombiningClass(U'\u0301'), 230);
    EXPECT_EQ(CombiningClass(U'\u0327'), 202);
    char32_t first = 0, second = 0;
    ASSERT_TRUE(CanonicalDecomposition(U'\u00C0', first, second));
    EXPECT_EQ(first, U'A');
    EXPECT_EQ(second, U'\u0300');
    ASSERT_TRUE(CanonicalDecomposition(U'\u212B', first, second));
    EXPECT_EQ(first, U'\u00C5');
    EXPECT_EQ(second, U'\0');
    EXPECT_FALSE(CanonicalDecomposition(U'A', first, second));
    EXPECT_FALSE(CanonicalDecomposition(U'\U0010FFFF', first, second));
}

}  // namespace
}  // namespace velmora::unicode
