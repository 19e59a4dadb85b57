#include "http/IdURI.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(URLDecode, DecodesEscapesFrom01ToFFAndDropsTheRest)
{
    struct Row {
        std::string text;
        std::string decoded;
    };
    // An escape takes up to two characters: a single hexadecimal digit at the end is a byte too.
    const Row rows[] = {
        {"%41%zz%00B", "AB"}, {"a%20b", "a b"}, {"a+b", "a+b"},   {"%e3%E3", "\xe3\xe3"},
        {"100%", "100"},      {"%4", "\x04"},   {"x%4", "x\x04"}, {"%0", ""},
        {"%4z", ""},          {"%z", ""},       {"%%41", "1"},    {"plain", "plain"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TIdURI::URLDecode(row.text), row.decoded) << row.text;
}

TEST(URISplit, SeparatesDirectoryDocumentAndParameters)
{
    struct Row {
        const char* target;
        const char* path;
        const char* document;
        const char* params;
        const char* host;
    };
    const Row rows[] = {
        {"/Images/a%20b.png", "/Images/", "a%20b.png", "", ""},
        {"/", "/", "", "", ""},
        {"/talvo.html", "/", "talvo.html", "", ""},
        {"\\Images\\x.png", "/Images/", "x.png", "", ""},
        {"/a=b/c", "/", "a", "=b/c", ""},
        {"/a/b=c#frag", "/a/", "b", "=c", ""},
        {"http://10.0.0.5:8099/Images/x.png", "/Images/", "x.png", "", "10.0.0.5"},
        {"http://user:pw@host/doc#top", "/", "doc", "", "host"},
        {"http://host", "/", "", "", "host"},
        {"", "", "", "", ""},
    };
    for (const Row& row : rows) {
        TIdURIParts parts = TIdURI::split(row.target);
        EXPECT_EQ(parts.Path, row.path) << row.target;
        EXPECT_EQ(parts.Document, row.document) << row.target;
        EXPECT_EQ(parts.Params, row.params) << row.target;
        EXPECT_EQ(parts.Host, row.host) << row.target;
    }
    TIdURIParts credentials = TIdURI::split("ftp://user:pw@host:21/x");
    EXPECT_EQ(credentials.Username, "user");
    EXPECT_EQ(credentials.Password, "pw");
    EXPECT_EQ(credentials.Port, "21");
    EXPECT_EQ(TIdURI::split("ftp://:pw@host/x").Password, "");
}

}  // namespace
}  // namespace velmora
