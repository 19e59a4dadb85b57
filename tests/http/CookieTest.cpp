#include "HttpTestSupport.h"
#include "http/IdCoderMIME.h"
#include "http/IdCookie.h"
#include "http/IdHTTPDate.h"
#include "http/IdServerCookies.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Whole strings are moved in: GCC 12 misreads assigning a short literal in place as an overlapping copy (-Wrestrict).
using namespace std::string_literals;

TEST(Cookie, ParsesNameValueAndAttributes)
{
    struct Row {
        const char* text;
        const char* name;
        const char* value;
        const char* path;
        bool secure;
        int64_t maxAge;
    };
    const Row rows[] = {
        {"IDHTTPSESSIONID=abc", "IDHTTPSESSIONID", "abc", "", false, -1},
        {"abc", "", "", "", false, -1},
        {"a=b=c", "a", "b=c", "", false, -1},
        {"a=1; Path=\"/x\"; SECURE", "a", "1", "/x", true, -1},
        {"a=1; path=/; max-age=60", "a", "1", "/", false, 60},
        {"a=1; max-age=soon", "a", "1", "", false, -1},
    };
    for (const Row& row : rows) {
        TIdCookieRFC2109 cookie;
        cookie.parse(row.text);
        EXPECT_EQ(cookie.CookieName, row.name) << row.text;
        EXPECT_EQ(cookie.Value, row.value) << row.text;
        EXPECT_EQ(cookie.Path, row.path) << row.text;
        EXPECT_EQ(cookie.Secure, row.secure) << row.text;
        EXPECT_EQ(cookie.MaxAge, row.maxAge) << row.text;
    }
}

TEST(Cookie, AReceivedMaxAgeBecomesAnExpiryAndAnExpiryAMaxAge)
{
    test::ManualClock clock;
    TIdCookieRFC2109 withMaxAge;
    withMaxAge.parse("a=1; max-age=3600", clock);
    EXPECT_FALSE(withMaxAge.Expires.empty());
    TIdCookieRFC2109 withExpiry;
    withExpiry.parse("a=1; expires=" + DateTimeToCookieStr(clock.wallNow() + std::chrono::seconds(120)), clock);
    EXPECT_EQ(withExpiry.MaxAge, 120);
}

TEST(Cookie, TheServerFormHasOnlyTheAttributesThatAreSet)
{
    test::ManualClock clock;
    TIdServerCookie session;
    session.CookieName = "a"s;
    session.Value = "b"s;
    session.Path = "/"s;
    EXPECT_EQ(session.ServerCookie(clock), "a=b; path=/");

    TIdServerCookie full;
    full.CookieName = "n"s;
    full.Value = "v"s;
    full.Domain = "example"s;
    full.Secure = true;
    full.MaxAge = 0;
    full.Comment = "c"s;
    full.Version = "1"s;
    EXPECT_EQ(full.ServerCookie(clock),
              "n=v; expires=" + DateTimeToCookieStr(clock.wallNow()) +
                  "; domain=example; secure; comment=c; version=1");

    TIdServerCookie valueless;
    valueless.CookieName = "gone"s;
    valueless.Path = "/"s;
    EXPECT_EQ(valueless.ServerCookie(clock), "path=/");
}

TEST(Cookie, CollectionsFindByNameInAnyCaseFromAStart)
{
    TIdServerCookies cookies;
    cookies.AddCookie("x=1");
    cookies.AddCookie("IdHttpSessionId=2");
    cookies.AddCookie("IDHTTPSESSIONID=3");
    EXPECT_EQ(cookies.indexOf("idhttpsessionid"), 1);
    EXPECT_EQ(cookies.indexOf("IDHTTPSESSIONID", 2), 2);
    EXPECT_EQ(cookies.indexOf("IDHTTPSESSIONID", 3), -1);
}

TEST(Base64, DecodesGroupsOfFourAndRefusesUnevenText)
{
    struct Row {
        const char* text;
        const char* bytes;
    };
    const Row rows[] = {{"", ""}, {"YQ==", "a"}, {"YWI=", "ab"}, {"YWJj", "abc"}, {"dXNlcjpwYXNz", "user:pass"}};
    for (const Row& row : rows) {
        EXPECT_EQ(TIdDecoderMIME::DecodeString(row.text), row.bytes) << row.text;
        EXPECT_EQ(TIdEncoderMIME::EncodeString(row.bytes), row.text) << row.bytes;
    }
    for (const char* uneven : {"YWJjZ", "Y", "YWJ"}) {
        try {
            TIdDecoderMIME::DecodeString(uneven);
            ADD_FAILURE() << uneven;
        } catch (const EIdException& error) {
            EXPECT_EQ(error.Message(), "Uneven size in DecodeToStream.");
        }
    }
}

TEST(HTTPDate, WritesTheGMTAndCookieFormsAndReadsTheCommonSpellings)
{
    auto when = std::chrono::system_clock::from_time_t(784111777);  // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_EQ(DateTimeGMTToHttpStr(when), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(DateTimeToCookieStr(when), "Sun, 6-Nov-1994 08:49:37 GMT");
    const char* spellings[] = {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                               "06 Nov 1994 08:49:37", "Nov 6 1994 08:49:37 GMT", "Sun, 06 Nov 1994 09:49:37 +0100"};
    for (const char* text : spellings) {
        auto read = GMTToLocalDateTime(text);
        ASSERT_TRUE(read.has_value()) << text;
        EXPECT_EQ(*read, when) << text;
    }
    EXPECT_FALSE(GMTToLocalDateTime("").has_value());
    EXPECT_FALSE(GMTToLocalDateTime("yesterday").has_value());
    // Found by fuzzing: years beyond the clock's range overflowed its ticks.
    EXPECT_FALSE(GMTToLocalDateTime("Sun, 06 Nov 8070 08:49:37 GMT").has_value());
    EXPECT_FALSE(GMTToLocalDateTime("Sun, 06 Nov 1602 08:49:37 GMT").has_value());
    EXPECT_TRUE(GMTToLocalDateTime("Sat, 06 Nov 2200 08:49:37 GMT").has_value());
    auto local = DateTimeToInternetStr(when);
    EXPECT_EQ(GMTToLocalDateTime(local), when) << local;
}

}  // namespace
}  // namespace velmora
