// What only a POSIX file system can mean for the manifest: the mode a new file gets, and a folder
// that only root could write into.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Stream.h"
#include "screen/ManifestBuilder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const TManifestUrls kUrls{"http://10.0.0.5:8099/", "http://10.0.0.5:8099/Images/"};

class ManifestFilePosix : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() /
            ("velmora-manifest-posix-" + std::to_string(::getpid()) + "-" +
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

TEST_F(ManifestFilePosix, GetsTheModeOfANormallyCreatedFile)
{
    mode_t mask = ::umask(022);
    WriteManifest({}, kUrls, path());
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// Root may write anywhere, so a read-only folder is tried by an unprivileged child process.
TEST_F(ManifestFilePosix, AReadOnlyFolderGivesTheCreateErrorAndNoStrayFile)
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
