#include "screen/ManifestBuilder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "IndependentParser.h"
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

// Checks a manifest with an independent parser where the system has one.
void expectXmllintAcceptsText(const std::string& xml)
{
    EXPECT_NE(test::IndependentParserAccepts(xml), false) << xml;
}

void expectXmllintAccepts(const std::string& path)
{
    expectXmllintAcceptsText(ReadWholeFile(path));
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

// A reader who is halfway through the old manifest reads it to its end: where the system keeps the
// old file for its readers the new one takes its name at once, elsewhere (Windows) once the reader
// lets go.
TEST_F(ManifestFile, ReplacesTheOldFileWholeWhileAReaderFinishesTheOld)
{
    TMenu_Geral big;
    TJanelas& janela = addWindow(big, "fundo.png");
    for (int i = 0; i < 5000; ++i)
        addButton(janela, "botao" + std::to_string(i) + ".png");
    WriteManifest(big, kUrls, path());
    const std::string oldBytes = ReadWholeFile(path());
    expectXmllintAccepts(path());

    auto reader = std::make_unique<TFileStream>(path(), TFileStream::fmOpenRead);
    char firstBytes[100];
    reader->ReadBuffer(firstBytes, sizeof firstBytes);
    std::string rest(oldBytes.size() - sizeof firstBytes, '\0');
    size_t pastTheEnd = 1;
    std::thread finish([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reader->ReadBuffer(rest.data(), rest.size());
        char after;
        pastTheEnd = reader->Read(&after, 1);
        reader.reset();
    });
    WriteManifest({}, kUrls, path());
    finish.join();

    EXPECT_EQ(std::string(firstBytes, sizeof firstBytes) + rest, oldBytes);
    EXPECT_EQ(pastTheEnd, 0u);
    EXPECT_EQ(ReadWholeFile(path()), manifestOf({}));
    expectXmllintAccepts(path());
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"arquivos.xml"});
}

TEST_F(ManifestFile, AMissingFolderGivesTheCreateErrorWithTheFullPath)
{
    std::string target = (m_folder / "missing" / "arquivos.xml").string();
    try {
        WriteManifest({}, kUrls, target);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot create file \"" + target + "\". ", 0), 0u) << e.Message();
        EXPECT_NE(e.Message().back(), ' ') << "the system's reason follows";
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

}  // namespace
}  // namespace velmora
