// Sources fetched over http from a server on 127.0.0.1 that the test starts and stops.
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

#include "Loopback.h"
#include "TestSupport.h"
#include "xml/reader/XpInet.h"

namespace velmora {
namespace {

using test::ScratchDir;

// A file server on port 0 of 127.0.0.1, on a thread of the test's own: each connection asks for
// one path of the folder and gets the file, or a 404 page; it stops with the test.
class LocalHttpServer {
public:
    explicit LocalHttpServer(std::string folder) : m_folder(std::move(folder))
    {
        m_thread = std::thread([this] {
            for (;;) {
                test::Socket client = m_listener.accept();
                if (m_stopping)
                    return;
                answer(client);
            }
        });
    }
    ~LocalHttpServer()
    {
        m_stopping = true;
        // The accept that waits takes this connection and sees the stop.
        test::tryConnectLoopback(m_listener.port());
        m_thread.join();
    }
    int Port() const { return m_listener.port(); }

private:
    void answer(test::Socket& client)
    {
        std::string request;
        char buffer[1024];
        long got;
        while (request.find("\r\n\r\n") == std::string::npos && (got = client.receiveSome(buffer, sizeof buffer)) > 0)
            request.append(buffer, static_cast<size_t>(got));
        const size_t start = request.find(' ') + 1;
        const std::string path = m_folder + request.substr(start, request.find(' ', start) - start);
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            client.sendAll("HTTP/1.0 404 Not Found\r\n\r\n<html><body>404 Not Found</body></html>");
            return;
        }
        const std::string body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        client.sendAll("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }

    std::string m_folder;
    test::LoopbackListener m_listener;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

TEST(RemoteSource, HttpDocumentAndItsRelativeDtdLoad)
{
    ScratchDir dir;
    std::filesystem::create_directory(dir.Path() + "/site");
    dir.Write("site/doc.xml", "<!DOCTYPE r SYSTEM \"doc.dtd\"><r>&e;</r>");
    dir.Write("site/doc.dtd", "<!ENTITY e \"from the dtd\"><!ATTLIST r a CDATA \"d\">");
    LocalHttpServer server(dir.Path() + "/site");
    ASSERT_GT(server.Port(), 0);
    std::string base = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    TXpObjModel model;
    ASSERT_TRUE(model.LoadDocumentFile(base + "doc.xml")) << test::ErrorMessage(model);
    EXPECT_EQ(test::Canonical(model), "<r a=\"d\">from the dtd</r>");
    EXPECT_EQ(model.Document()->DocLocation, "127.0.0.1:" + std::to_string(server.Port()) + "/");
}

TEST(RemoteSource, MissingDocumentEndsTheLoad)
{
    ScratchDir dir;
    LocalHttpServer server(dir.Path());
    ASSERT_GT(server.Port(), 0);
    TXpObjModel model;
    std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/absent.xml";
    EXPECT_FALSE(model.LoadDocumentFile(url));
    EXPECT_TRUE(model.Errors().empty()) << model.Errors().front();
    EXPECT_EQ(model.documentElement(), nullptr);
}

TEST(RemoteSource, UnreachableServerAddsTheFetchLines)
{
    // A port that nothing listens on: bind one, then close it.
    int port;
    {
        ScratchDir dir;
        LocalHttpServer server(dir.Path());
        port = server.Port();
    }
    TXpObjModel model;
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/doc.xml";
    EXPECT_FALSE(model.LoadDocumentFile(url));
    ASSERT_EQ(model.Errors().size(), 2u);
    EXPECT_EQ(model.Errors()[0], SUnableConnect);
    EXPECT_EQ(model.Errors()[1], "File " + url + " could not be found");
}

}  // namespace
}  // namespace velmora
