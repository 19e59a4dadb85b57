#include "HttpTestSupport.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// What the get handler saw of one request.
struct Seen {
    bool called = false;
    std::string method, path, version, query, paramText, formText, host, user, password, contentType;
    std::vector<std::string> params;
    std::vector<std::string> cookies;
    int32_t contentLength = -2;
    uint32_t rangeStart = 0, rangeEnd = 0;
    bool hasCredentials = false;
    std::string firstHeader;
};

class RequestReading : public ::testing::Test {
protected:
    RequestReading()
    {
        server.OnCommandGet = [this](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo&) {
            seen.called = true;
            seen.method = request.Method;
            seen.path = request.Path;
            seen.version = request.HttpVersion;
            seen.query = request.QueryText;
            seen.paramText = request.ParamText;
            seen.formText = request.FormText;
            seen.host = request.Host;
            seen.user = request.CredentialUser;
            seen.password = request.CredentialPassword;
            seen.hasCredentials = request.HasCredentials;
            seen.contentType = request.ContentType;
            seen.contentLength = request.ContentLength;
            seen.rangeStart = request.ContentRangeStart;
            seen.rangeEnd = request.ContentRangeEnd;
            seen.params = request.ParamList.lines();
            for (size_t i = 0; i < request.CookieList.count(); ++i)
                seen.cookies.push_back(request.CookieList[i].CookieName + "=" + request.CookieList[i].Value);
            seen.firstHeader = request.HeaderLines.count() ? request.HeaderLines[0] : "";
        };
    }

    test::Exchange send(const std::string& bytes, size_t chunk = 0)
    {
        seen = Seen();
        return test::runRequest(server, bytes, chunk);
    }

    TIdHTTPServer server;
    Seen seen;
};

TEST_F(RequestReading, SplitsTheRequestLineAndDecodesPathAndQuery)
{
    for (size_t chunk : {0, 1, 2, 3, 4, 5}) {
        send("GET /Images/a%20b.png HTTP/1.1\r\nHost: x\r\n\r\n", chunk);
        EXPECT_EQ(seen.path, "/Images/a b.png") << chunk;
        EXPECT_EQ(seen.version, "HTTP/1.1") << chunk;

        send("get /?x=1&y=a+b HTTP/1.0\r\n\r\n", chunk);
        EXPECT_EQ(seen.method, "GET");
        EXPECT_EQ(seen.path, "/");
        EXPECT_EQ(seen.query, "x=1&y=a+b");
        EXPECT_EQ(seen.params, (std::vector<std::string>{"x=1", "y=a b"}));
    }
    send("GET /a b/c d.txt HTTP/1.1\r\n\r\n");
    EXPECT_EQ(seen.path, "/a b/c d.txt");
    send("GET /?a&&b= HTTP/1.1\r\n\r\n");
    EXPECT_EQ(seen.params, (std::vector<std::string>{"a", "", "b="}));
    send("GET / HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(seen.params.empty());
}

TEST_F(RequestReading, FormBodiesBecomeParametersOnlyForTheExactFormType)
{
    const std::string body = "Thought=ola";
    auto post = [&](const std::string& type) {
        return "POST /talvo.html?Personality=2 HTTP/1.1\r\nContent-Type: " + type +
            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    send(post("application/x-www-form-urlencoded"));
    EXPECT_EQ(seen.params, (std::vector<std::string>{"Thought=ola", "Personality=2"}));
    EXPECT_EQ(seen.formText, body);
    EXPECT_EQ(seen.paramText, "Thought=ola&Personality=2");
    send(post("Application/X-WWW-Form-Urlencoded"));
    EXPECT_EQ(seen.params.size(), 2u);
    send(post("application/x-www-form-urlencoded; charset=UTF-8"));
    EXPECT_EQ(seen.params, (std::vector<std::string>{"Personality=2"}));
    send("POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\na=1&b=2");
    EXPECT_EQ(seen.params, (std::vector<std::string>{"a=1", "b=2"}));
    send("GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(seen.formText, "abc");
}

TEST_F(RequestReading, AnAbsoluteTargetGivesThePathAndTheHost)
{
    send("GET http://10.0.0.5:8099/Images/x.png HTTP/1.1\r\n\r\n");
    EXPECT_EQ(seen.path, "/Images/x.png");
    EXPECT_EQ(seen.host, "10.0.0.5");
    send("GET http://10.0.0.5:8099/Images/x.png HTTP/1.1\r\nHost: given\r\n\r\n");
    EXPECT_EQ(seen.host, "given");
}

TEST_F(RequestReading, ReadsHeaderFieldsCookiesAndCredentials)
{
    send("GET / HTTP/1.1\r\n..Dotted: 1\r\nContent-Length:  7 \r\nRange: bytes=10-20\r\n"
         "Cookie: a=1; b=2\r\ncookie: IDHTTPSESSIONID=abc\r\nAuthorization: Basic dXNlcjpwYXNz\r\n\r\n1234567");
    EXPECT_EQ(seen.firstHeader, ".Dotted: 1");
    EXPECT_EQ(seen.contentLength, 7);
    EXPECT_EQ(seen.rangeStart, 10u);
    EXPECT_EQ(seen.rangeEnd, 20u);
    EXPECT_EQ(seen.cookies, (std::vector<std::string>{"a=1", "b=2", "IDHTTPSESSIONID=abc"}));
    EXPECT_TRUE(seen.hasCredentials);
    EXPECT_EQ(seen.user, "user");
    EXPECT_EQ(seen.password, "pass");
    send("GET / HTTP/1.1\r\nContent-Length: many\r\n\r\n");
    EXPECT_EQ(seen.contentLength, -1);
}

TEST_F(RequestReading, BadRequestsAreClosedWithoutReply)
{
    struct Row {
        const char* bytes;
        const char* error;
    };
    const Row rows[] = {
        {"GARBAGE\r\n\r\n", "Error in parsing command."},
        {"\r\n", "Error in parsing command."},
        {"GET / HTTP/1.1\r\nAuthorization: Digest abc\r\n\r\n", "Unsupported authorization scheme."},
        {"GET / HTTP/1.1\r\nAuthorization: Basic abcde\r\n\r\n", "Uneven size in DecodeToStream."},
    };
    for (const Row& row : rows) {
        auto result = send(row.bytes);
        EXPECT_EQ(result.output, "") << row.bytes;
        EXPECT_EQ(result.error, row.error) << row.bytes;
        EXPECT_FALSE(seen.called) << row.bytes;
    }
}

TEST_F(RequestReading, OtherMethodsGetNoReplyAndReachOnCommandOther)
{
    std::string other;
    server.OnCommandOther = [&](TIdPeerThread&, const std::string& command, const std::string& data,
                                const std::string& version) { other = command + "|" + data + "|" + version; };
    auto result = send("OPTIONS * HTTP/1.1\r\n\r\n");
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.error, "");
    EXPECT_FALSE(seen.called);
    EXPECT_EQ(other, "OPTIONS|*|HTTP/1.1");
}

TEST_F(RequestReading, LinesAndHeadersAreBoundedAtTheirLimits)
{
    auto requestWithLine = [](size_t length) {
        std::string head = "GET /";
        std::string tail = " HTTP/1.1";
        return head + std::string(length - head.size() - tail.size(), 'a') + tail + "\r\n\r\n";
    };
    send(requestWithLine(IdMaxRequestLineLength));
    EXPECT_TRUE(seen.called);
    auto refused = send(requestWithLine(IdMaxRequestLineLength + 1));
    EXPECT_FALSE(seen.called);
    EXPECT_EQ(refused.error, "Max line length exceeded.");

    auto withHeaders = [](size_t count, size_t valueSize) {
        std::string text = "GET / HTTP/1.1\r\n";
        for (size_t i = 0; i < count; ++i)
            text += "X: " + std::string(valueSize, 'v') + "\r\n";
        return text + "\r\n";
    };
    send(withHeaders(IdMaxHeaderLines, 1));
    EXPECT_TRUE(seen.called);
    EXPECT_EQ(send(withHeaders(IdMaxHeaderLines + 1, 1)).output, "");
    EXPECT_FALSE(seen.called);
    // 64 lines of exactly 1 KiB make the largest header text allowed.
    send(withHeaders(64, 1024 - 3));
    EXPECT_TRUE(seen.called);
    send(withHeaders(64, 1024 - 3).insert(16, "Y: z\r\n"));
    EXPECT_FALSE(seen.called);
}

TEST_F(RequestReading, BodiesAboveOneMebibyteAreRefusedWith413)
{
    auto post = [](size_t size) {
        return "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n" + std::string(size, 'b');
    };
    send(post(IdMaxRequestBody));
    EXPECT_TRUE(seen.called);
    EXPECT_EQ(seen.formText.size(), static_cast<size_t>(IdMaxRequestBody));

    server.ServerSoftware = "Talvo Web";
    auto declared = send("POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n");
    EXPECT_FALSE(seen.called);
    EXPECT_EQ(declared.output.substr(0, 37), "HTTP/1.1 413 Request Entity To Long\r\n");
    EXPECT_NE(declared.output.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(declared.output.find("Server: Talvo Web\r\n"), std::string::npos);

    send("POST / HTTP/1.1\r\n\r\n" + std::string(IdMaxRequestBody, 'u'), 65536);
    EXPECT_TRUE(seen.called);
    auto untilClose = send("POST / HTTP/1.1\r\n\r\n" + std::string(IdMaxRequestBody + 1, 'u'), 65536);
    EXPECT_FALSE(seen.called);
    EXPECT_EQ(untilClose.output.substr(0, 12), "HTTP/1.1 413");
}

// Regression: a reset in the middle of the header lines passed for their end, so the handler ran (and
// the application logged a file as served) for a reply that went nowhere.
TEST_F(RequestReading, ARequestCutByAResetNeverReachesTheHandler)
{
    const char* inputs[] = {
        "GET /Images/portao.png HTTP/1.1\r\nHost: x\r\n",
        "GET /Images/portao.png HTTP/1.1\r\n",
        "GET /Images/portao.png HTTP/1.1\r\nHost: x\r\nAccept: */",
        "GET /Images/por",
        "",
    };
    for (const char* input : inputs) {
        for (size_t chunk : {0, 1, 3}) {
            seen = Seen();
            auto result = test::runRequest(server, input, chunk, "127.0.0.1", Id_WSAECONNRESET);
            EXPECT_FALSE(seen.called) << input << " in chunks of " << chunk;
            EXPECT_EQ(result.output, "") << input;
            EXPECT_EQ(result.error, "") << input;
        }
    }
    seen = Seen();
    test::runRequest(server, "GET /Images/portao.png HTTP/1.1\r\nHost: x\r\n\r\n", 0, "127.0.0.1", Id_WSAECONNRESET);
    EXPECT_TRUE(seen.called) << "a reset after the blank line leaves a whole request";
}

TEST_F(RequestReading, AHandlerExceptionBecomesA500WithItsMessage)
{
    server.OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo&, TIdHTTPResponseInfo&) {
        throw Exception("No personality has been chosen.");
    };
    auto result = send("GET /talvo.html?Thought=oi HTTP/1.1\r\n\r\n");
    EXPECT_EQ(result.output.substr(0, 36), "HTTP/1.1 500 Internal Server Error\r\n");
    EXPECT_EQ(result.output.substr(result.output.size() - 31), "No personality has been chosen.");
    EXPECT_EQ(result.error, "");
}

}  // namespace
}  // namespace velmora
