#include "handlers/ProjectFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

#include "base/FileSystem.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(ProjectFiles, PathsThatClimbOutOfTheFolderAreRefused)
{
    const struct {
        std::string path;
        bool inside;
    } rows[] = {
        {"/screen.xml", true},
        {"/Images/a.png", true},
        {"/a..b/c", true},
        {"/./a", true},
        {"/..", false},
        {"/../x", false},
        {"/Images/../../x", false},
        {"/..\\x", false},
        {"\\..\\x", false},
        {"/Images\\..\\..\\x", false},
        {"..", false},
        {std::string("/a\0/b", 5), false},
        {"/...", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsPathInsideFolder(row.path), row.inside) << row.path;
}

TEST(ProjectFiles, FindsExactNamesThenNamesOfAnotherCaseAndOnlyRegularFiles)
{
    fs::path folder = fs::temp_directory_path() / ("velmora-files-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Images" / "Sub");
    std::ofstream(folder / "Images" / "Foto.PNG") << "x";
    std::ofstream(folder / "Images" / "Sub" / "b.png") << "x";
    std::ofstream(folder / "screen.xml") << "x";
    const std::string base = folder.string() + "/";

    const struct {
        const char* path;
        const char* found;  // relative to the folder; null for none
    } rows[] = {
        {"/screen.xml", "screen.xml"},
        {"/SCREEN.XML", "screen.xml"},
        {"/Images/Foto.PNG", "Images/Foto.PNG"},
        {"/images/foto.png", "Images/Foto.PNG"},
        {"/Images\\Sub\\B.PNG", "Images/Sub/b.png"},
        {"//Images//Foto.PNG", "Images/Foto.PNG"},  // doubled separators read as one
        {"/screen.xml/", nullptr},  // a trailing separator names a folder
        {"/Images/Foto.PNG\\", nullptr},
        {"/Images/", nullptr},
        {"/Images", nullptr},
        {"/", nullptr},
        {"/missing.png", nullptr},
        {"/Images/missing/a.png", nullptr},
        {"/Images/../screen.xml", nullptr},
    };
    for (const auto& row : rows) {
        auto found = FindProjectFile(base, row.path);
        if (!row.found)
            EXPECT_FALSE(found.has_value()) << row.path << " gave " << found.value_or("");
        else
            EXPECT_EQ(found.value_or("none"), base + row.found) << row.path;
    }
    fs::remove_all(folder);
}

TEST(ProjectFiles, AccentedNamesMatchInAnyLetterCaseAndNormalisationForm)
{
    fs::path folder = fs::temp_directory_path() / ("velmora-accents-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    // As a Mac stores them: decomposed (NFD), a folder with an accented name too.
    const std::string nfdFolder = "T\x65\xCC\x81rreo";  // Térreo
    const std::string nfdImage = "ilumina\x63\xCC\xA7\x61\xCC\x83o.png";  // iluminação.png
    fs::create_directories(folder / PathOf(nfdFolder));
    std::ofstream(folder / PathOf(nfdFolder) / PathOf(nfdImage)) << "x";
    // As Windows stores them: composed (NFC).
    std::ofstream(folder / PathOf("Sal\xC3\xA3o.PNG")) << "x";
    std::ofstream(folder / PathOf("sala\xE2\x80\x93noite.png")) << "x";
    const std::string base = folder.string() + "/";
    const std::string found = base + nfdFolder + "/" + nfdImage;

    const struct {
        std::string path;
        std::string found;  // empty for none
    } rows[] = {
        {"/T\xC3\xA9rreo/ilumina\xC3\xA7\xC3\xA3o.png", found},  // NFC request, NFD disk
        {"/T\xC3\x89RREO/ILUMINA\xC3\x87\xC3\x83O.PNG", found},  // and upper case
        {"/" + nfdFolder + "/" + nfdImage, found},  // the exact bytes
        {"/t\x65\xCC\x81rreo\\ILUMINAC\xCC\xA7\x41\xCC\x83O.png", found},  // NFD request, backslash
        {"/sal\x61\xCC\x83o.png", base + "Sal\xC3\xA3o.PNG"},  // NFD request, NFC disk
        {"/SALA\xE2\x80\x93NOITE.PNG", base + "sala\xE2\x80\x93noite.png"},
        {"/sala-noite.png", ""},  // a hyphen is no en dash
        {"/Terreo/iluminacao.png", ""},  // accents still count
        {"/T\xC3\xA9rreo", ""},  // a folder
        {"/T\xC3\xA9rreo/../Sal\xC3\xA3o.PNG", ""},
    };
    for (const auto& row : rows) {
        auto result = FindProjectFile(base, row.path);
        if (row.found.empty())
            EXPECT_FALSE(result.has_value()) << row.path << " gave " << result.value_or("");
        else
            EXPECT_EQ(result.value_or("none"), row.found) << row.path;
    }
    fs::remove_all(folder);
}

// A folder named like an image and a device's reserved name are no files to serve, on any system.
TEST(ProjectFiles, OnlyRegularFilesAreOpened)
{
    fs::path folder = fs::temp_directory_path() / ("velmora-kinds-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "pasta.png");
    std::ofstream(folder / "Foto.PNG") << "x";
    const std::string base = folder.string() + "/";
    const struct {
        const char* path;
        bool opened;
    } rows[] = {{"/Foto.PNG", true}, {"/foto.png", true}, {"/pasta.png", false}, {"/NUL.png", false}, {"/CON", false}};
    for (const auto& row : rows)
        EXPECT_EQ(OpenProjectFile(base, row.path) != nullptr, row.opened) << row.path;
    fs::remove_all(folder);
}

TEST(ProjectFiles, OfSeveralAlikeNamesTheSmallestIsServed)
{
    fs::path folder = fs::temp_directory_path() / ("velmora-alike-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const char* name : {"foto.png", "FOTO.png", "Foto.png"})
        std::ofstream(folder / name) << name;
    if (std::distance(fs::directory_iterator(folder), fs::directory_iterator()) < 3)
        GTEST_SKIP() << "this file system takes names in any letter case for one";
    EXPECT_EQ(FindProjectFile(folder.string(), "/fOTO.PNG").value_or("none"), folder.string() + "/FOTO.png");
    EXPECT_EQ(FindProjectFile(folder.string(), "/foto.png").value_or("none"), folder.string() + "/foto.png");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velmora
