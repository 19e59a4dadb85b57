#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "base/Stream.h"

namespace velmora {
namespace {

// Regression: a file's type was read from its name before the open, so a FIFO put in its place held
// the thread in the open for ever; the kernel's pseudo-files announced sizes they never sent.
TEST(FileStream, OnlyARegularFileOpensAndNothingElseCanHoldTheOpen)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("velmora-regular-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "folder");
    std::ofstream(folder / "a.png") << "bytes";
    fs::create_symlink(folder / "a.png", folder / "link.png");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const int unixSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (folder / "socket").c_str());
    ASSERT_EQ(::bind(unixSocket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const struct {
        fs::path path;
        bool opens;
    } rows[] = {
        {folder / "a.png", true},     {folder / "link.png", true},
        {folder / "fifo", false},     {folder / "socket", false},
        {folder / "folder", false},   {"/dev/null", false},
        {"/proc/self/status", false}, {"/sys/devices/system/cpu/online", false},
    };
    for (const auto& row : rows) {
        if (!fs::exists(row.path))
            continue;
        std::unique_ptr<TFileStream> file = TFileStream::OpenRegularFile(row.path.string());
        EXPECT_EQ(file != nullptr, row.opens) << row.path;
        if (file) {
            EXPECT_EQ(file->ResolvedPath(), fs::canonical(folder / "a.png").string()) << row.path;
        }
    }
    EXPECT_THROW(TFileStream::OpenRegularFile((folder / "missing").string()), EFOpenError);
    ::close(unixSocket);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velmora
