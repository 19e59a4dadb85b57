// Sources fetched over http from a server on 127.0.0.1 that the test starts and stops.
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "Loopback.h"
#include "TestSupport.h"
#include "xml/reader/XpInet.h"

namespace velmora {
namespace {

using test::ScratchDir;

// python3's http.server on port 0 of 127.0.0.1, serving one folder, killed with the test.
class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::string& folder)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            const char* script = "import functools,http.server,sys\n"
                                 "h=functools.partial(http.server.SimpleHTTPRequestHandler,directory=sys.argv[1])\n"
                                 "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),h)\n"
                                 "print(s.server_address[1],flush=True)\n"
                                 "s.serve_forever()\n";
            ::execlp("python3", "python3", "-c", script, folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // The whole line, so that the server never writes into a closed pipe.
        std::string line;
        char c;
        while (line.size() < 16 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(fds[0]);
        m_port = std::atoi(line.c_str());
        WaitUntilServing();
    }
    ~LocalHttpServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    int Port() const { return m_port; }

private:
    // The first answer proves the server loop runs; up to 5 s.
    void WaitUntilServing()
    {
        for (int attempt = 0; attempt < 50 && m_port > 0; ++attempt) {
            std::string answer;
            if (auto connection = test::tryConnectLoopback(m_port)) {
                connection->sendAll("HEAD / HTTP/1.0\r\n\r\n");
                answer = connection->receiveAll();
            }
            if (answer.rfind("HTTP/", 0) == 0)
                return;
            ::usleep(100000);
        }
    }

    pid_t m_pid = -1;
    int m_port = 0;
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
