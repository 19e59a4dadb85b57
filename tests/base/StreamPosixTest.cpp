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

    // Where the system cannot open along a path without links (no openat2), nothing opens so.
    int error = 0;
    const bool withoutLinks =
        TFileStream::TryOpenRegularFileWithoutLinks((folder / "a.png").string(), error) != nullptr;
    const struct {
        fs::path path;
        bool opens;
        bool opensWithoutLinks;
    } rows[] = {
        {folder / "a.png", true, true},
        {folder / "link.png", true, false},
        {folder / "fifo", false, false},
        {folder / "socket", false, false},
        {folder / "folder", false, false},
        {"/dev/null", false, false},
        {"/proc/self/status", false, false},
        {"/sys/devices/system/cpu/online", false, false},
        {folder / "link.png" / "x", false, false},
    };
    for (const auto& row : rows) {
        if (!fs::exists(row.path.parent_path()))
            continue;
        std::unique_ptr<TFileStream> file = TFileStream::TryOpenRegularFile(row.path.string());
        EXPECT_EQ(file != nullptr, row.opens) << row.path;
        if (file) {
            EXPECT_EQ(file->ResolvedPath(), fs::canonical(folder / "a.png").string()) << row.path;
        }
        file = TFileStream::TryOpenRegularFileWithoutLinks(row.path.string(), error);
        EXPECT_EQ(file != nullptr, row.opensWithoutLinks && withoutLinks) << row.path;
        // Nothing but a missing file or one that cannot be read tells the caller not to try again.
        EXPECT_EQ(error, 0) << row.path;
    }
    EXPECT_THROW(TFileStream::OpenRegularFile((folder / "missing").string()), EFOpenError);
    EXPECT_FALSE(TFileStream::TryOpenRegularFileWithoutLinks((folder / "missing").string(), error));
    EXPECT_EQ(error != 0, withoutLinks);
    ::close(unixSocket);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velmora
