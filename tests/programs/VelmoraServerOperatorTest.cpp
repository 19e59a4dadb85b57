#include <fstream>
#include <gtest/gtest.h>

#include "Projects.h"
#include "SystemTexts.h"
#include "HttpTestSupport.h"
#include "ServerProcess.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// The fixture project with its images present, so that a phone can import all of it.
fs::path projectWithImages(const std::string& name)
{
    fs::path project = makeProject(name);
    for (const char* image : {"fundo.png", "luz.png", "on.png", "off.png"})
        std::ofstream(project / "Images" / image) << image;
    return project;
}

std::string get(int port, const std::string& path)
{
    return rawRequest(port, "GET " + path + " HTTP/1.1\r\n\r\n");
}

TEST(VelmoraServerOperator, ListAddressesPrintsEveryAddressWithItsKindAndTheDefaultMarked)
{
    ServerProcess list({"--list-addresses"});
    std::vector<std::string> lines;
    while (auto line = list.nextLine())
        lines.push_back(*line);
    EXPECT_EQ(list.wait(), 0);
    bool loopback = false;
    int marked = 0;
    for (const std::string& line : lines) {
        loopback = loopback ||
            (line.rfind("127.0.0.1 ", 0) == 0 && line.find(" lo ") != std::string::npos &&
             line.find("loopback") != std::string::npos);
        marked += line.size() > 3 && line.compare(line.size() - 3, 3, "  *") == 0;
    }
    EXPECT_TRUE(loopback);
    EXPECT_LE(marked, 1);
}

TEST(VelmoraServerOperator, BadUsageAndAnAddressNotOnThisMachineExitWithTwo)
{
    auto project = makeProject("server-usage");
    const std::string screen = (project / "screen.xml").string();
    const struct {
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {{"--address", "10.255.255.254", screen},
         "O endereço 10.255.255.254 não pertence a este computador; veja os endereços com --list-addresses.\n"},
        {{"--list-addresses", screen}, ""},
        {{"--address"}, ""},
        {{"--watch", "--no-qr"}, ""},
        {{"--qr", screen}, ""},
    };
    for (const auto& row : rows) {
        ServerProcess server(row.args);
        EXPECT_EQ(server.wait(), 2) << row.args[0];
        if (!row.error.empty())
            EXPECT_EQ(server.errors(), row.error);
        else
            EXPECT_EQ(server.errors().rfind("usage: velmora-server", 0), 0u) << row.args[0];
    }
    EXPECT_FALSE(fs::exists(project / "arquivos.xml")) << "nothing was published";
    fs::remove_all(project);
}

TEST(VelmoraServerOperator, TheQrCodeOfTheConnectionPageFollowsTheServersStartUnlessLeftOut)
{
    auto project = projectWithImages("server-qr");
    for (bool qr : {true, false}) {
        ReservedPort reserved;
        const int port = reserved.port();
        std::vector<std::string> args{"--port", std::to_string(port), "--address", "127.0.0.1"};
        if (!qr)
            args.push_back("--no-qr");
        args.push_back((project / "screen.xml").string());
        ServerProcess server(args);
        EXPECT_EQ(server.nextLine(), "Endereço: 127.0.0.1:" + std::to_string(port));
        ASSERT_TRUE(server.waitForLine("Servidor Ativo!"));
        auto next = server.nextLine();
        ASSERT_TRUE(next.has_value());
        if (qr) {
            EXPECT_EQ(next->find_first_not_of(' '), std::string::npos) << "the quiet zone";
            next = server.nextLine();
            EXPECT_NE(next->find("\u2588"), std::string::npos) << *next;
            EXPECT_TRUE(server.waitForLine(
                "Aponte a câmera do iPhone para o código, ou abra http://127.0.0.1:" + std::to_string(port) +
                "/velmora no Safari: a página diz se o iPhone alcança este computador."));
        } else {
            EXPECT_EQ(next->rfind("Servidor acessível em ", 0), 0u) << *next;
        }
        server.stop();
        EXPECT_EQ(server.wait(), 0);
    }
    fs::remove_all(project);
}

TEST(VelmoraServerOperator, ChecksProbesFollowsAPhoneAndRepublishesOnSave)
{
    auto project = projectWithImages("server-operator");
    fs::remove(project / "Images" / "off.png");
    ReservedPort reserved;
    const int port = reserved.port();
    const std::string address = "127.0.0.1:" + std::to_string(port);
    ServerProcess server({"--port", std::to_string(port), "--address", "127.0.0.1", "--no-qr", "--watch",
                          (project / "screen.xml").string()});
    ASSERT_TRUE(server.waitForLine("Verificação do projeto: 5 arquivos, 0,4 kB."));
    EXPECT_EQ(server.nextLine(), "Arquivo ausente: off.png");
    ASSERT_TRUE(server.waitForLine("Servidor acessível em " + address + "."));

    std::ofstream(project / "Images" / "off.png") << "off";
    get(port, "/");
    for (const char* path :
         {"/screen.xml", "/Images/fundo.png", "/Images/luz.png", "/Images/on.png", "/Images/off.png"})
        get(port, path);
    auto complete = server.waitForPrefix("Aparelho 127.0.0.1: importação completa (5 arquivos, ");
    EXPECT_TRUE(complete.has_value());

    std::ofstream(project / "Images" / "luz.png") << "luz nova";
    EXPECT_TRUE(server.waitForLine("Projeto atualizado: 5 arquivos."));
    server.stop();
    EXPECT_EQ(server.wait(), 0);
    fs::remove_all(project);
}

TEST(VelmoraServerOperator, APortTakenByAnotherCopyIsExplained)
{
    auto project = makeProject("server-taken");
    ReservedPort reserved;
    const int port = reserved.port();
    auto other = startAnotherCopy(port);
    ServerProcess server({"--port", std::to_string(port), "--no-qr", (project / "screen.xml").string()});
    auto taken =
        server.waitForPrefix("A porta " + std::to_string(port) + " está em uso por outra cópia deste programa");
    ASSERT_TRUE(taken.has_value());
    if (!RunningUnderWine()) {
        EXPECT_NE(taken->find("processo " + std::to_string(::getpid())), std::string::npos) << *taken;
    }
    auto next = server.nextLine();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->rfind("Próxima porta livre: ", 0), 0u) << *next;
    EXPECT_EQ(server.wait(), 1);
    EXPECT_EQ(server.errors(), "Ja existe um programa da Velmora aberto no computador.\n");
    other->SetActive(false);
    fs::remove_all(project);
}

}  // namespace
}  // namespace velmora::test
