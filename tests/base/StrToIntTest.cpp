#include "base/StrToInt.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct Accepted {
    const char* text;
    int32_t value;
};

TEST(StrToInt, AcceptsDecimalHexSignsAndLeadingSpaces)
{
    const Accepted rows[] = {
        {"0", 0},
        {"12", 12},
        {"  12", 12},
        {"+7", 7},
        {"-7", -7},
        {" -7", -7},
        {"$1F", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$10", -16},
        {"+0x10", 16},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"-0x80000000", INT32_MIN},
        {"0x0", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StrToInt(row.text), row.value) << row.text;
}

TEST(StrToInt, RefusesEverythingElseWithTheTextInTheMessage)
{
    const char* rows[] = {
        "",    " ",    "12 ",        "1 2",         "+",         "-",          "+-1",
        "--1", "$",    "x",          "0x",          "-0x",       "0x 1",       "1e3",
        "12a", "\t12", "2147483648", "-2147483649", "$80000000", "0xFFFFFFFF", "99999999999999999999",
        "$G",  "1.0",  "- 1",        "abc",
    };
    for (const char* text : rows) {
        EXPECT_FALSE(TryStrToInt(text).has_value()) << '"' << text << '"';
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted \"" << text << '"';
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

}  // namespace
}  // namespace velmora
