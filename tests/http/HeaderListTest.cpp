#include "http/IdHeaderList.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TIdHeaderList listOf(std::initializer_list<const char*> lines)
{
    TIdHeaderList list;
    for (const char* line : lines)
        list.add(line);
    return list;
}

TEST(HeaderList, LooksUpTheFirstLineOfANameInAnyCaseTrimmed)
{
    auto list = listOf({"Host: a", "HOST: b", "Accept:   text/html  ", "NoColon", "X-Empty:"});
    EXPECT_EQ(list.values("host"), "a");
    EXPECT_EQ(list.values("ACCEPT"), "text/html");
    EXPECT_EQ(list.values("X-Empty"), "");
    EXPECT_EQ(list.values("Missing"), "");
    EXPECT_EQ(list.indexOfName("hOsT"), 0);
    EXPECT_EQ(list.indexOfName("Hos"), -1);
    EXPECT_EQ(list.name(1), "HOST");
    EXPECT_EQ(list.name(3), "");
    EXPECT_EQ(list.value(99), "");
}

TEST(HeaderList, JoinsContinuationLinesWithOneSpace)
{
    auto list = listOf({"Subject: first", "\tsecond ", "  third", "Next: x"});
    EXPECT_EQ(list.values("Subject"), "first second third");
    list.UnfoldLines = false;
    EXPECT_EQ(list.values("Subject"), "first");
}

TEST(HeaderList, ExtractGivesEveryValueOfANameInOrder)
{
    auto list = listOf({"Cookie: a=1", "Host: h", "cookie: b=2"});
    TIdStringList values;
    list.extract("COOKIE", values);
    ASSERT_EQ(values.count(), 2u);
    EXPECT_EQ(values[0], "a=1");
    EXPECT_EQ(values[1], "b=2");
}

TEST(HeaderList, SetValueReplacesInPlaceAppendsOrRemoves)
{
    auto list = listOf({"Connection: close", "Server: old", "\tcontinued", "Content-Length: 3"});
    list.FoldLines = false;
    list.setValue("server", "Talvo Web");
    EXPECT_EQ(list[1], "server: Talvo Web");
    list.setValue("Location", "/x");
    EXPECT_EQ(list[list.count() - 1], "Location: /x");
    list.FoldLines = true;
    list.setValue("Server", "");
    EXPECT_EQ(list.indexOfName("Server"), -1);
    EXPECT_EQ(list[1], "Content-Length: 3");
}

TEST(HeaderList, FoldsLongValuesAtBlanksWhenFoldingIsOn)
{
    TIdHeaderList list;
    list.FoldLength = 20;
    list.setValue("X-Long", "one two three four five six");
    ASSERT_GT(list.count(), 1u);
    for (size_t i = 1; i < list.count(); ++i)
        EXPECT_EQ(list[i][0], ' ');
    EXPECT_EQ(list.values("X-Long"), "one two three four five six");
}

}  // namespace
}  // namespace velmora
