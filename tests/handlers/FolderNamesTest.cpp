#include "handlers/FolderNames.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A file system that keeps times in 2-second steps shows the folder unchanged when a file comes or
// goes within the step: the names read before must not hide the new file from the phone.
TEST(FolderNames, ChangesWithinTheFolderTimesStepAreFoundAtOnce)
{
    const fs::path folder = fs::temp_directory_path() / ("velmora-names-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "Foto.png") << "x";
    const std::string base = folder.string() + "/";
    const fs::file_time_type step = fs::last_write_time(folder);
    // Where the system lets the folder's time be set back, the folder looks as it was when read.
    auto asBefore = [&] {
        std::error_code ignored;
        fs::last_write_time(folder, step, ignored);
    };

    TFolderNames names;
    EXPECT_EQ(names.Alike(base, "FOTO.PNG").value_or("none"), "Foto.png");
    std::ofstream(folder / "Nova.png") << "x";
    asBefore();
    EXPECT_EQ(names.Alike(base, "nova.PNG").value_or("none"), "Nova.png") << "a file added";
    fs::rename(folder / "Foto.png", folder / "FOTO2.png");
    asBefore();
    EXPECT_EQ(names.Alike(base, "foto2.png").value_or("none"), "FOTO2.png") << "a file renamed";
    EXPECT_FALSE(names.Alike(base, "foto.png").has_value()) << "the old name";
    EXPECT_FALSE(names.Alike(base + "missing/", "a.png").has_value());
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velmora
