#include "handlers/ProjectFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Regression: a link to a file or a folder outside the project, as an archive from someone else may
// carry, served what it led to, in any letter case and normalisation form.
TEST(ProjectFiles, OnlyRegularFilesWhoseLinksStayInsideTheFolderAreOpened)
{
    fs::path folder = fs::temp_directory_path() / ("velmora-links-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const fs::path project = folder / "project";
    fs::create_directories(project / "Images");
    fs::create_directories(folder / "outside");
    std::ofstream(project / "Images" / "Foto.PNG") << "inside";
    std::ofstream(folder / "outside" / "x.png") << "outside";
    fs::create_symlink(folder / "outside" / "x.png", project / "Images" / "fora.png");
    fs::create_directory_symlink(folder / "outside",
                                 project / "Images" /
                                     "Sa\xC3\xAD"
                                     "da");  // Saída, composed
    fs::create_symlink("Foto.PNG", project / "Images" / "dentro.png");
    fs::create_directory_symlink(project / "Images", project / "Atalho");
    ASSERT_EQ(::mkfifo((project / "fila.png").c_str(), 0600), 0);
    // The same project reached through a link to its folder: files are found the long way.
    fs::create_directory_symlink(project, folder / "via");

    const struct {
        const char* path;
        bool opened;
    } rows[] = {
        {"/Images/fora.png", false},
        {"/IMAGES/FORA.PNG", false},
        {"/Images/Sa\xC3\xAD"
         "da/x.png",
         false},
        {"/images/SAI\xCC\x81"
         "DA/X.PNG",
         false},  // decomposed
        {"/Images/dentro.png", true},
        {"/images/DENTRO.PNG", true},
        {"/Atalho/Foto.PNG", true},
        {"/atalho/foto.png", true},
        {"/fila.png", false},
        {"/Images/Foto.PNG", true},
        {"//Images\\Foto.PNG", true},
        {"/Images/../Images/Foto.PNG", false},
    };
    for (const fs::path& root : {project, folder / "via"}) {
        for (const auto& row : rows) {
            std::unique_ptr<TFileStream> file = OpenProjectFile(root.string() + "/", row.path);
            ASSERT_EQ(file != nullptr, row.opened) << root << row.path;
            if (file) {
                EXPECT_EQ(file->ResolvedPath(), fs::canonical(project / "Images" / "Foto.PNG").string()) << row.path;
            }
        }
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velmora
