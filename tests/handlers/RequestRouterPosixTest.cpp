// What only POSIX permissions can make: a project file that the server's thread may not open.
#include <sys/fsuid.h>

#include "HandlerFixture.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

using RequestRouter = HandlerServer;

TEST_F(RequestRouter, AFileThatCannotBeOpenedIs500WithTheOpenErrorLogged)
{
    writeFile("project/locked.png", "x");
    std::filesystem::permissions(folder / "project" / "locked.png", std::filesystem::perms::none);
    server.SetActive(false);
    server.OnCommandGet = [this](TIdPeerThread& t, TIdHTTPRequestInfo& rq, TIdHTTPResponseInfo& rs) {
        int previous = ::setfsuid(65534);
        try {
            router.IdHTTPServer1CommandGet(t, rq, rs);
        } catch (...) {
            ::setfsuid(static_cast<uid_t>(previous));
            throw;
        }
        ::setfsuid(static_cast<uid_t>(previous));
    };
    server.SetActive(true);
    port = server.Bindings()[0].Port;

    Reply reply = get("/locked.png");
    const std::string error =
        "Cannot open file \"" + (folder / "project" / "locked.png").string() + "\". Permission denied";
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body, error);
    EXPECT_EQ(logLines().back(), "Arquivo /locked.png: " + error);
}

}  // namespace
}  // namespace velmora::test
