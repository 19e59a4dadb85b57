#include "handlers/ProjectFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(ProjectFiles, PathsThatClimbOutOfTheFolderAreRefused)
{
    const struct {
        std::string path;
        bool inside;
    } rows[] = {
        {"/screen.xml", true},       {"/Images/a.png", true},      {"/a..b/c", true},
        {"/./a", true},              {"/..", false},               {"/../x", false},
        {"/Images/../../x", false},  {"/..\\x", false},            {"\\..\\x", false},
        {"/Images\\..\\..\\x", false}, {"..", false},              {std::string("/a\0/b", 5), false},
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
        {"//Images//Foto.PNG", "Images/Foto.PNG"},
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

}  // namespace
}  // namespace velmora
