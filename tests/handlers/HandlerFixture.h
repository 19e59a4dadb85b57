#pragma once
// A real server on 127.0.0.1 with the router, the conversation page and the application's session
// settings, serving a temporary project folder; the log lines are kept for the test.

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <unistd.h>

#include "HttpTestSupport.h"
#include "handlers/RequestRouter.h"

namespace velmora::test {

struct Reply {
    int status = 0;
    std::string head;
    std::string body;
    std::string cookie;  // the session identifier a Set-Cookie line gave, empty without one
};

inline Reply parseReply(const std::string& raw)
{
    Reply reply;
    size_t end = raw.find("\r\n\r\n");
    reply.head = raw.substr(0, end);
    reply.body = end == std::string::npos ? "" : raw.substr(end + 4);
    if (raw.size() > 12)
        reply.status = std::stoi(raw.substr(9, 3));
    size_t cookie = reply.head.find("IDHTTPSESSIONID=");
    if (cookie != std::string::npos)
        reply.cookie = reply.head.substr(cookie + 16, 15);
    return reply;
}

class HandlerServer : public testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
            ("velmora-handlers-" + std::to_string(::getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "project" / "Images");
        writeFile("project/arquivos.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ARQUIVOS/>");
        writeFile("project/screen.xml", "<SCREEN/>");
        writeFile("project/Images/Foto.PNG", std::string("\x89PNG\r\n\x1a\n\0\x01", 10));
        writeFile("secret.txt", "outside");
        state.ProjectFolder.set((folder / "project").string() + "/");

        server.SetDefaultPort(0);
        server.Bindings().add().IP = "127.0.0.1";
        server.AutoStartSession = true;
        server.SetSessionState(true);
        server.SessionTimeOut = 600000;
        server.ServerSoftware = "Talvo Web";
        server.OnCommandGet = [this](TIdPeerThread& t, TIdHTTPRequestInfo& rq, TIdHTTPResponseInfo& rs) {
            router.IdHTTPServer1CommandGet(t, rq, rs);
        };
        server.OnSessionStart = [this](TIdHTTPSession& s) { page.IdHTTPServer1SessionStart(s); };
        server.OnSessionEnd = [this](TIdHTTPSession& s) { page.IdHTTPServer1SessionEnd(s); };
        server.SetActive(true);
        port = server.Bindings()[0].Port;
    }
    void TearDown() override
    {
        server.SetActive(false);
        std::filesystem::remove_all(folder);
    }

    void writeFile(const std::string& relative, const std::string& bytes)
    {
        std::ofstream(folder / relative, std::ios::binary) << bytes;
    }
    // From 127.0.0.1, or from the source address from.
    Reply get(const std::string& target, const std::string& cookie = "", const std::string& from = "")
    {
        std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\n";
        if (!cookie.empty())
            request += "Cookie: IDHTTPSESSIONID=" + cookie + "\r\n";
        return parseReply(rawRequest(port, request + "\r\n", from));
    }
    std::vector<std::string> logLines()
    {
        std::lock_guard lock(logMutex);
        return log;
    }

    std::filesystem::path folder;
    // Guards log.
    std::mutex logMutex;
    std::vector<std::string> log;
    TPublicationState state;
    TConversationPage page{state};
    TRequestRouter router{state, page, [this](const std::string& line) {
                              std::lock_guard lock(logMutex);
                              log.push_back(line);
                          }};
    TIdHTTPServer server;
    int port = 0;
};

}  // namespace velmora::test
