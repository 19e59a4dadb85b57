#include "HttpTestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora {
namespace {

using Handler = std::function<void(TIdHTTPRequestInfo&, TIdHTTPResponseInfo&)>;

std::string reply(TIdHTTPServer& server, const std::string& request, Handler handler)
{
    server.ServerSoftware = "Talvo Web";
    server.OnCommandGet = [&](TIdPeerThread&, TIdHTTPRequestInfo& in, TIdHTTPResponseInfo& out) { handler(in, out); };
    return test::runRequest(server, request).output;
}

TEST(ResponseStatus, TheTableGivesEachCodeItsPhrase)
{
    struct Row {
        int code;
        const char* phrase;
    };
    const Row rows[] = {{100, "Continue"},
                        {200, "OK"},
                        {203, "Non-authoritative Information"},
                        {302, "Moved Temporarily"},
                        {404, "Not Found"},
                        {405, "Method not allowed"},
                        {413, "Request Entity To Long"},
                        {414, "Request-URI Too Long. 256 Chars max"},
                        {500, "Internal Server Error"},
                        {504, "Gateway timeout"},
                        {505, "HTTP version not supported"},
                        {299, "Unknown Response Code"},
                        {0, "Unknown Response Code"}};
    for (const Row& row : rows)
        EXPECT_EQ(TIdHTTPResponseInfo::ReasonPhraseFor(row.code), row.phrase) << row.code;
}

TEST(ResponseWriting, ATextBodyGoesOutWithItsLengthAndTheHeadersInOrder)
{
    TIdHTTPServer server;
    auto bytes =
        reply(server, "GET / HTTP/1.1\r\n\r\n", [](auto&, TIdHTTPResponseInfo& out) { out.BodyText = "hello"; });
    EXPECT_EQ(bytes,
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 5\r\n"
              "Server: Talvo Web\r\n\r\nhello");
}

TEST(ResponseWriting, A404ClosesTheConnectionEvenWithKeepAlive)
{
    TIdHTTPServer server;
    server.KeepAlive = true;
    auto bytes = reply(server, "GET /missing.png HTTP/1.1\r\nConnection: keep-alive\r\n\r\nGET / HTTP/1.1\r\n\r\n",
                       [](auto& in, TIdHTTPResponseInfo& out) {
                           out.SetStatusCode(404);
                           out.BodyText = "The requested URL " + in.Path + " was not found on this server.";
                       });
    EXPECT_EQ(bytes,
              "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 60\r\n"
              "Server: Talvo Web\r\n\r\nThe requested URL /missing.png was not found on this server.");
}

TEST(ResponseWriting, KeepAliveServesTheNextRequestOnTheSameConnection)
{
    TIdHTTPServer server;
    server.KeepAlive = true;
    auto bytes = reply(server, "GET /a HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\nGET /b HTTP/1.1\r\n\r\n",
                       [](auto& in, TIdHTTPResponseInfo& out) { out.BodyText = in.Path; });
    EXPECT_NE(bytes.find("Connection: keep-alive\r\n"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "/b");
}

TEST(ResponseWriting, AHandlerThatSetsNoBodyGetsAHeadWithoutLength)
{
    TIdHTTPServer server;
    auto bytes = reply(server, "GET / HTTP/1.1\r\n\r\n", [](auto&, auto&) {});
    EXPECT_EQ(bytes, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nServer: Talvo Web\r\n\r\n");
}

TEST(ResponseWriting, HeadGetsTheHeadOfGetAndNoBody)
{
    TIdHTTPServer server;
    Handler file = [](auto&, TIdHTTPResponseInfo& out) {
        out.BodyStream = std::make_unique<TStringStream>(std::string(40000, 'x'));
    };
    auto get = reply(server, "GET /screen.xml HTTP/1.1\r\n\r\n", file);
    auto head = reply(server, "HEAD /screen.xml HTTP/1.1\r\n\r\n", file);
    ASSERT_EQ(get.size(), head.size() + 40000);
    EXPECT_EQ(get.substr(0, head.size()), head);
    EXPECT_NE(head.find("Content-Length: 40000\r\n"), std::string::npos);
}

// Regression: a file's size passed through 32 bits: 4 GiB + 5 bytes were announced as 5, 3 GiB
// as no length at all.
TEST(ResponseWriting, AFileOfTwoGibibytesOrMoreAnnouncesItsWholeLength)
{
    const auto path =
        std::filesystem::temp_directory_path() / ("velmora-sparse-" + std::to_string(::getpid()) + ".bin");
    for (int64_t size : {(int64_t{1} << 31) - 1, int64_t{1} << 31, int64_t{3} << 30, (int64_t{4} << 30) + 5}) {
        std::ofstream(path, std::ios::binary).close();
        std::filesystem::resize_file(path, static_cast<uintmax_t>(size));  // sparse: no disk taken
        TIdHTTPServer server;
        auto head = reply(server, "HEAD /big.bin HTTP/1.1\r\n\r\n", [&](auto&, TIdHTTPResponseInfo& out) {
            out.BodyStream = std::make_unique<TFileStream>(path.string(), TFileStream::fmOpenRead);
        });
        EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(size) + "\r\n"), std::string::npos) << head;
    }
    std::filesystem::remove(path);
}

TEST(ResponseWriting, TextWinsOverAStreamThatIsThenReleasedUnsent)
{
    TIdHTTPServer server;
    auto bytes = reply(server, "GET / HTTP/1.1\r\n\r\n", [](auto&, TIdHTTPResponseInfo& out) {
        out.BodyStream = std::make_unique<TStringStream>("stream");
        out.BodyText = "text";
    });
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "text");
    EXPECT_NE(bytes.find("Content-Length: 4\r\n"), std::string::npos);
}

TEST(ResponseWriting, CustomHeadersFollowTheFieldsAndRealmMakesAChallenge)
{
    TIdHTTPServer server;
    auto bytes = reply(server, "GET / HTTP/1.1\r\n\r\n", [](auto&, TIdHTTPResponseInfo& out) {
        out.CustomHeaders.add("X-One: 1");
        out.Location = "/elsewhere";
        out.Realm = "Velmora";
    });
    EXPECT_EQ(bytes,
              "HTTP/1.1 401 Unauthorized\r\nConnection: close\r\nContent-Type: text/html\r\nX-One: 1\r\n"
              "Server: Talvo Web\r\nLocation: /elsewhere\r\nWWW-Authenticate: Basic realm=\"Velmora\"\r\n\r\n"
              "<HTML><BODY><B>401 Unauthorized</B></BODY></HTML>");
}

TEST(ResponseWriting, TheHeadIsWrittenOnceAndAHandlerMayWriteTheBodyItself)
{
    TIdHTTPServer server;
    std::string second;
    auto bytes = reply(server, "GET / HTTP/1.1\r\n\r\n", [&](auto&, TIdHTTPResponseInfo& out) {
        out.SetStatusCode(503);
        out.WriteBody();
        try {
            out.WriteHead();
        } catch (const EIdHTTPHeaderAlreadyWritten& error) {
            second = error.Message();
        }
    });
    EXPECT_EQ(second, "Header has already been written.");
    EXPECT_EQ(bytes,
              "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Type: text/html\r\n"
              "Server: Talvo Web\r\n\r\n<HTML><BODY><B>503 Service Unavailable</B></BODY></HTML>\r\n");
}

TEST(ResponseWriting, AStreamNotOwnedIsLetGoButNotFreed)
{
    TIdHTTPServer server;
    TStringStream kept("mine");
    auto bytes = reply(server, "GET / HTTP/1.1\r\n\r\n", [&](auto&, TIdHTTPResponseInfo& out) {
        out.BodyStream.reset(&kept);
        out.OwnsBodyStream = false;
    });
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "mine");
    EXPECT_EQ(kept.DataString(), "mine");
}

}  // namespace
}  // namespace velmora
