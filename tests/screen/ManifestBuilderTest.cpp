#include "screen/ManifestBuilder.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "screen/Unit_Gerais.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const TManifestUrls kUrls{"http://10.0.0.5:8099/", "http://10.0.0.5:8099/Images/"};
const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ARQUIVOS>";
const std::string kScreenEntry =
    "<ARQUIVO arquivo_nome=\"screen.xml\" arquivo_caminho=\"http://10.0.0.5:8099/screen.xml\"/>";

std::string entry(const std::string& name)
{
    return "<ARQUIVO arquivo_nome=\"" + name + "\" arquivo_caminho=\"http://10.0.0.5:8099/Images/" + name + "\"/>";
}

// Checks a manifest with an independent parser.
void expectXmllintAcceptsText(const std::string& xml)
{
    FILE* lint = ::popen("xmllint --noout - 2>&1", "w");
    ASSERT_NE(lint, nullptr);
    std::fwrite(xml.data(), 1, xml.size(), lint);
    EXPECT_EQ(::pclose(lint), 0) << xml;
}

void expectXmllintAccepts(const std::string& path)
{
    std::string command = "xmllint --noout '" + path + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << path;
}

std::string manifestOf(const TMenu_Geral& menus, const TManifestUrls& urls = kUrls)
{
    TStringStream out;
    WriteManifestToStream(menus, urls, out);
    expectXmllintAcceptsText(out.DataString());
    return out.DataString();
}

TJanelas& addWindow(TMenu_Geral& menus, const std::string& image = "")
{
    if (menus.empty())
        AddMenu(menus);
    TJanelas& janela = menus.back().Janelas[AddJanela(menus.back().Janelas)];
    janela.Imagem = image;
    return janela;
}

void addButton(TJanelas& janela, const std::string& image)
{
    janela.Botoes[AddBotao(janela.Botoes)].Imagem = image;
}

void addFeedbackButton(TJanelas& janela, const std::string& on, const std::string& off)
{
    TBotoesFB& botao = janela.BotoesFB[AddBotaoFB(janela.BotoesFB)];
    botao.ImagemOn = on;
    botao.ImagemOff = off;
}

TEST(Manifest, AnEmptyModelListsOnlyTheScreenFile)
{
    EXPECT_EQ(manifestOf({}), kHead + kScreenEntry + "</ARQUIVOS>");
    EXPECT_EQ(manifestOf({}, {}),
              kHead + "<ARQUIVO arquivo_nome=\"screen.xml\" arquivo_caminho=\"screen.xml\"/></ARQUIVOS>");
}

TEST(Manifest, ListsWindowButtonOnAndOffImagesInOrderKeepingDuplicates)
{
    TMenu_Geral menus;
    TJanelas& first = addWindow(menus, "fundo.png");
    addButton(first, "luz.png");
    addButton(first, "luz.png");
    addButton(first, "");
    addFeedbackButton(first, "on.png", "off.png");
    addFeedbackButton(first, "", "only-off.png");
    addFeedbackButton(first, "only-on.png", "");
    first.Cameras[AddCamera(first.Cameras)].Imagem = "camera.png";
    first.Webs[AddWeb(first.Webs)].Endereco = "http://example.invalid/";
    TJanelas& second = addWindow(menus, "");
    addButton(second, "second.png");
    TMenu& other = menus[AddMenu(menus)];
    TJanelas& third = other.Janelas[AddJanela(other.Janelas)];
    third.Imagem = "fundo.png";

    EXPECT_EQ(manifestOf(menus),
              kHead + kScreenEntry + entry("fundo.png") + entry("luz.png") + entry("luz.png") + entry("on.png") +
                  entry("off.png") + entry("only-off.png") + entry("only-on.png") + entry("second.png") +
                  entry("fundo.png") + "</ARQUIVOS>");
}

TEST(Manifest, NamesGoIntoTheUrlsAsTheyStand)
{
    TMenu_Geral menus;
    TJanelas& janela = addWindow(menus, "  ");
    addButton(janela, "Pasta\\Meu bot\xC3\xA3o & \"luz\".png");
    EXPECT_EQ(manifestOf(menus),
              kHead + kScreenEntry + entry("  ") +
                  "<ARQUIVO arquivo_nome=\"Pasta\\Meu bot\xC3\xA3o &amp; &quot;luz&quot;.png\" "
                  "arquivo_caminho=\"http://10.0.0.5:8099/Images/Pasta\\Meu bot\xC3\xA3o &amp; &quot;luz&quot;.png\"/>"
                  "</ARQUIVOS>");
}

class ManifestFile : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() /
            ("velmora-manifest-" + std::to_string(::getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        fs::permissions(m_folder, fs::perms::owner_all);
        fs::remove_all(m_folder);
    }
    std::string path() const { return (m_folder / "arquivos.xml").string(); }
    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_folder))
            names.push_back(e.path().filename().string());
        return names;
    }

    fs::path m_folder;
};

TEST_F(ManifestFile, ReplacesTheOldFileWholeWhileAReaderKeepsTheOld)
{
    TMenu_Geral big;
    TJanelas& janela = addWindow(big, "fundo.png");
    for (int i = 0; i < 5000; ++i)
        addButton(janela, "botao" + std::to_string(i) + ".png");
    WriteManifest(big, kUrls, path());
    const std::string oldBytes = ReadWholeFile(path());
    expectXmllintAccepts(path());

    TFileStream reader(path(), TFileStream::fmOpenRead);
    char firstBytes[100];
    reader.ReadBuffer(firstBytes, sizeof firstBytes);
    WriteManifest({}, kUrls, path());

    std::string rest(oldBytes.size() - sizeof firstBytes, '\0');
    reader.ReadBuffer(rest.data(), rest.size());
    EXPECT_EQ(std::string(firstBytes, sizeof firstBytes) + rest, oldBytes);
    EXPECT_EQ(reader.Read(firstBytes, 1), 0u);
    EXPECT_EQ(ReadWholeFile(path()), manifestOf({}));
    expectXmllintAccepts(path());
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"arquivos.xml"});
}

TEST_F(ManifestFile, GetsTheModeOfANormallyCreatedFile)
{
    mode_t mask = ::umask(022);
    WriteManifest({}, kUrls, path());
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(ManifestFile, AMissingFolderGivesTheCreateErrorWithTheFullPath)
{
    std::string target = (m_folder / "missing" / "arquivos.xml").string();
    try {
        WriteManifest({}, kUrls, target);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + target + "\". No such file or directory");
    }
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(ManifestFile, ATargetThatIsAFolderGivesTheCreateErrorAndNoStrayFile)
{
    fs::create_directory(path());
    EXPECT_THROW(WriteManifest({}, kUrls, path()), EFCreateError);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"arquivos.xml"});
    EXPECT_TRUE(fs::is_directory(path()));
}

// Root may write anywhere, so a read-only folder is tried by an unprivileged child process.
TEST_F(ManifestFile, AReadOnlyFolderGivesTheCreateErrorAndNoStrayFile)
{
    WriteManifest({}, kUrls, path());
    const std::string before = ReadWholeFile(path());
    fs::permissions(m_folder,
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            ::_exit(3);
        try {
            WriteManifest({}, kUrls, path());
        } catch (const EFCreateError& e) {
            bool named = e.Message() == "Cannot create file \"" + path() + "\". Permission denied";
            ::_exit(named ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"arquivos.xml"});
    EXPECT_EQ(ReadWholeFile(path()), before);
}

}  // namespace
}  // namespace velmora
