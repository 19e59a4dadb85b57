#include "HandlerFixture.h"
#include "base/Stream.h"
#include "handlers/ConnectionPage.h"
#include "handlers/HtmlEscape.h"
#include "handlers/Limits.h"

namespace velmora::test {
namespace {

using RequestRouter = HandlerServer;

TEST_F(RequestRouter, TheRootServesTheManifestAndFilesGoOutWithTheirBytes)
{
    const struct {
        const char* target;
        const char* file;
        const char* logged;
    } rows[] = {
        {"/", "project/arquivos.xml", "Arquivo /arquivos.xml OK."},
        {"/arquivos.xml", "project/arquivos.xml", "Arquivo /arquivos.xml OK."},
        {"/screen.xml", "project/screen.xml", "Arquivo /screen.xml OK."},
        {"/Images/Foto.PNG", "project/Images/Foto.PNG", "Arquivo /Images/Foto.PNG OK."},
        {"/images/foto.png", "project/Images/Foto.PNG", "Arquivo /images/foto.png OK."},
        {"/Images%5CFoto.PNG", "project/Images/Foto.PNG", "Arquivo /Images\\Foto.PNG OK."},
    };
    for (const auto& row : rows) {
        Reply reply = get(row.target);
        EXPECT_EQ(reply.status, 200) << row.target;
        EXPECT_NE(reply.head.find("Content-Type: text/html"), std::string::npos) << row.target;
        EXPECT_EQ(reply.body, ReadWholeFile((folder / row.file).string())) << row.target;
        EXPECT_EQ(logLines().back(), row.logged);
    }
}

TEST_F(RequestRouter, MissingFilesFoldersAndPathsOutOfTheFolderGet404AndALogLine)
{
    const struct {
        const char* target;
        const char* path;  // as the log and the 404 text name it
    } rows[] = {
        {"/missing.png", "/missing.png"},
        {"/Images/", "/Images/"},
        {"/../secret.txt", "/../secret.txt"},
        {"/%2e%2e/secret.txt", "/../secret.txt"},
        {"/Images/..%2F..%2Fsecret.txt", "/Images/../../secret.txt"},
        {"/..%5Csecret.txt", "/..\\secret.txt"},
        {"/Images\\..\\..\\secret.txt", "/Images/../../secret.txt"},
        {"http://evil.invalid/../secret.txt", "/../secret.txt"},
        {"/project%00/../secret.txt", nullptr},
    };
    for (const auto& row : rows) {
        Reply reply = get(row.target);
        EXPECT_EQ(reply.status, 404) << row.target;
        EXPECT_EQ(reply.body.find("outside"), std::string::npos) << row.target;
        if (row.path) {
            EXPECT_EQ(reply.body, "The requested URL " + std::string(row.path) + " was not found on this server.");
            EXPECT_EQ(logLines().back(), "Arquivo " + std::string(row.path) + " não encontrado.");
        }
    }
}

// A decoded line feed in the path goes to the log as one line, which the log queue escapes.
TEST_F(RequestRouter, ControlCharactersInAPathStayInOneLogLine)
{
    writeFile("project/Images/a\tb.png", "tab");
    // Windows refuses control characters in names: there the tab's file is one more missing file.
    const std::string tabServed = std::filesystem::exists(folder / "project/Images/a\tb.png")
        ? "Arquivo /Images/a\tb.png OK."
        : "Arquivo /Images/a\tb.png não encontrado.";
    const struct {
        const char* target;
        std::string logged;
    } rows[] = {
        {"/x%0AServidor%20Ativo!%0Ay.png", "Arquivo /x\nServidor Ativo!\ny.png não encontrado."},
        {"/%0D%1B[2J%7F.png", "Arquivo /\r\x1b[2J\x7f.png não encontrado."},
        {"/Images/a%09b.png", tabServed},
        {"/100%25.png", "Arquivo /100%.png não encontrado."},
    };
    for (const auto& row : rows) {
        const size_t before = logLines().size();
        get(row.target);
        ASSERT_EQ(logLines().size(), before + 1) << row.target;
        EXPECT_EQ(logLines().back(), row.logged);
    }
}

// Regression: the log kept every path whole, 16 KB a line.
TEST_F(RequestRouter, ALogLineShowsAPathUpToTheLimitAndPastItCutOnACharacterBoundary)
{
    const std::string ellipsis = "\xE2\x80\xA6";
    std::string accented = "/";
    for (int i = 0; i < 300; ++i)
        accented += "\xC3\xA9";  // é
    const struct {
        std::string path;
        std::string logged;
    } rows[] = {
        {"/" + std::string(511, 'a'), "/" + std::string(511, 'a')},
        {"/" + std::string(512, 'a'), "/" + std::string(508, 'a') + ellipsis},
        {accented, accented.substr(0, 509) + ellipsis},
        {"/" + std::string(507, 'a') + "\xE2\x82\xAC" + std::string(9, 'b'),
         "/" + std::string(507, 'a') + ellipsis},  // € at the cut
        {"/" + std::string(600, '\xE9'), "/" + std::string(508, '\xE9') + ellipsis},  // no UTF-8: one byte each
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LoggedPath(row.path), row.logged) << row.path.size() << " bytes";
        EXPECT_LE(LoggedPath(row.path).size(), MaxLoggedPathBytes);
        Reply reply = get(row.path);
        EXPECT_EQ(logLines().back(), "Arquivo " + row.logged + " não encontrado.") << row.path.size() << " bytes";
        EXPECT_EQ(reply.body, NotFoundText(row.path)) << "the reply names the path whole";
    }
}

TEST_F(RequestRouter, TheRootReportsItselfWhenTheManifestIsMissing)
{
    std::filesystem::remove(folder / "project" / "arquivos.xml");
    Reply reply = get("/");
    EXPECT_EQ(reply.status, 404);
    EXPECT_EQ(reply.body, "The requested URL / was not found on this server.");
    EXPECT_EQ(logLines().back(), "Arquivo /arquivos.xml não encontrado.");
}

TEST_F(RequestRouter, TheNotFoundTextReflectsNoMarkup)
{
    Reply reply = get("/%3Cscript%3E%22a%22&amp;.png");
    EXPECT_EQ(reply.body, "The requested URL /&lt;script&gt;&quot;a&quot;&amp;amp;.png was not found on this server.");
}

// Root reads any file, so the handler of this test works with the file rights of "nobody".
TEST_F(RequestRouter, TheConversationPageIsTheWholePathInAnyCaseAndIsNotLogged)
{
    state.PageTemplate.set("PAGE");
    for (const char* target : {"/talvo.html", "/TALVO.HTML", "/Talvo.Html"}) {
        Reply reply = get(target);
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.body, "PAGE") << target;
    }
    EXPECT_TRUE(logLines().empty());
    for (const char* target : {"/talvo.html/", "/talvo.htm"})
        EXPECT_EQ(get(target).status, 404) << target;
    EXPECT_EQ(logLines().size(), 2u);
}

TEST_F(RequestRouter, TheConnectionPageAnswersVelmoraInAnyCaseUntilAProjectFileDoes)
{
    std::vector<std::string> openedBy;
    router.OnConnectionPage = [&](const std::string& peer) { openedBy.push_back(peer); };
    state.ServerAddress.set("192.168.0.10:8099");
    const std::string logged =
        "Aparelho 127.0.0.1 abriu a página de conexão: a rede deixa este aparelho alcançar o computador.";
    for (const char* target : {"/velmora", "/VELMORA", "/Velmora"}) {
        Reply reply = get(target);
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_NE(reply.head.find("Content-Type: text/html; charset=utf-8"), std::string::npos) << target;
        EXPECT_EQ(logLines().back(), logged);
        // The proof, the address to type in large letters, the next step and the app's own link;
        // nothing the page would fetch or run.
        for (const char* part : {"Este aparelho alcançou o computador.", "<p class=\"endereco\">192.168.0.10:8099</p>",
                                 "“Endereço do Servidor”", "“Importar Telas”", "href=\"imodule://\"",
                                 "<link rel=\"icon\" href=\"data:,\">"})
            EXPECT_NE(reply.body.find(part), std::string::npos) << part;
        for (const char* fetched : {"<script", "src=", "http:", "@import", "url("})
            EXPECT_EQ(reply.body.find(fetched), std::string::npos) << fetched;
    }
    EXPECT_EQ(openedBy, std::vector<std::string>(3, "127.0.0.1"));

    // Without an address of its own the page shows the one the browser used, escaped.
    state.ServerAddress.set("");
    Reply hosted = parseReply(rawRequest(port, "GET /velmora HTTP/1.1\r\nHost: 10.0.0.2:80<b>\r\n\r\n"));
    EXPECT_NE(hosted.body.find(">10.0.0.2:80&lt;b&gt;</p>"), std::string::npos) << hosted.body;

    // What a browser asks for around the page is 404 without a line, unless the project has it.
    const size_t before = logLines().size();
    for (const char* target : {"/favicon.ico", "/apple-touch-icon.png", "/apple-touch-icon-120x120-precomposed.png"})
        EXPECT_EQ(get(target).status, 404) << target;
    EXPECT_EQ(logLines().size(), before);
    writeFile("project/favicon.ico", "icon");
    EXPECT_EQ(get("/favicon.ico").body, "icon");
    EXPECT_EQ(logLines().back(), "Arquivo /favicon.ico OK.");

    writeFile("project/VELMORA", "the project's own");
    Reply own = get("/velmora");
    EXPECT_EQ(own.body, "the project's own");
    EXPECT_EQ(logLines().back(), "Arquivo /velmora OK.");
    EXPECT_EQ(ConnectionPageUrl("http://a:1/", (folder / "project").string() + "/"), "http://a:1/");
    std::filesystem::remove(folder / "project" / "VELMORA");
    EXPECT_EQ(ConnectionPageUrl("http://a:1/", (folder / "project").string() + "/"), "http://a:1/velmora");
    EXPECT_EQ(openedBy.size(), 4u);
}

}  // namespace
}  // namespace velmora::test
