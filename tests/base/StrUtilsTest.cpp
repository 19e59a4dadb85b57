#include "base/StrUtils.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(StrUtils, TrimRemovesBytesUpToSpaceAtBothEndsOnly)
{
    const struct {
        const char* text;
        const char* trimmed;
    } rows[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"  a b  ", "a b"},
        {"\x01x\x7f", "x\x7f"},
        {" \xc2\xa0 ", "\xc2\xa0"},
        {"\xe2\x82\xac", "\xe2\x82\xac"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Trim(row.text), row.trimmed) << '"' << row.text << '"';
}

TEST(StrUtils, LetterCaseIsIgnoredForAsciiLettersOnly)
{
    EXPECT_TRUE(SameText("Talvo.HTML", "talvo.html"));
    EXPECT_FALSE(SameText("\xc3\xa7", "\xc3\x87"));
    EXPECT_FALSE(SameText("ab", "abc"));
    EXPECT_EQ(UpperCase("a\xc3\xa7z"), "A\xc3\xa7Z");
    EXPECT_EQ(LowerCase("A[Z]@"), "a[z]@");
}

}  // namespace
}  // namespace velmora
