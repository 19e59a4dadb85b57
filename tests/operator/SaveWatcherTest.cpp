#include "operator/SaveWatcher.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <thread>

#include "HttpTestSupport.h"
#include "OperatorTestSupport.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// Polls in real time until the watcher has read a change, then a moment more for the rest of it:
// Windows tells of a change a little after it, and of one write in more than one notice.
bool noticed(TSaveWatcher& watcher, std::chrono::milliseconds wait = 5s)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!watcher.Poll() && !watcher.Pending() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(50ms);
    watcher.Poll();
    return watcher.Pending();
}

class Saves : public testing::Test {
protected:
    Saves() : project("saves", {{"luz.png", 10}, {"Porta.png", 10}})
    {
        const std::string folder = project.folder().string();
        followed = {folder + "/screen.xml", folder + "/Images/luz.png", folder + "/Images/porta.png",
                    folder + "/Images/ausente.png"};
        EXPECT_TRUE(watcher.Watch(followed));
    }
    // Polls as the tick does: the change is reported once it has been quiet for a second.
    bool reportedAfterQuiet()
    {
        if (!noticed(watcher))
            return false;
        clock.advance(SaveQuietTime - 1ms);
        if (watcher.Poll())
            return false;
        clock.advance(1ms);
        return watcher.Poll() && !watcher.Poll();
    }

    TempProject project;
    std::vector<std::string> followed;
    ManualClock clock;
    TSaveWatcher watcher{clock};
};

TEST_F(Saves, AWriteRenameOrRemovalOfAFollowedFileIsReportedOnceAfterAQuietSecond)
{
    const struct {
        const char* what;
        std::function<void()> change;
    } rows[] = {
        {"screen.xml written", [&] { project.Write("screen.xml", "<SCREEN/>"); }},
        {"image written", [&] { project.Write("Images/luz.png", "new"); }},
        {"found by ignoring case", [&] { project.Write("Images/Porta.png", "new"); }},
        {"saved by renaming onto it",
         [&] {
             project.Write("screen.xml.tmp", "<SCREEN/>");
             fs::rename(project.folder() / "screen.xml.tmp", project.folder() / "screen.xml");
         }},
        {"a missing file appears", [&] { project.Write("Images/ausente.png", "a"); }},
        {"removed", [&] { fs::remove(project.folder() / "Images/luz.png"); }},
    };
    for (const auto& row : rows) {
        row.change();
        EXPECT_TRUE(reportedAfterQuiet()) << row.what;
    }
}

TEST_F(Saves, OtherFilesAndTheManifestLeaveItQuiet)
{
    project.Write("arquivos.xml", "<ARQUIVOS/>");
    project.Write("Images/outra.png", "x");
    project.Write("notas.txt", "x");
    clock.advance(5s);
    EXPECT_FALSE(watcher.Poll());
}

TEST_F(Saves, ABurstOfWritesIsReportedOnceTheLastHasBeenQuiet)
{
    for (int i = 0; i < 5; ++i) {
        project.Write("Images/luz.png", std::to_string(i));
        EXPECT_FALSE(watcher.Poll());
        clock.advance(SaveQuietTime / 2);
    }
    project.Write("Images/luz.png", "last");
    EXPECT_TRUE(reportedAfterQuiet());
}

TEST_F(Saves, AFolderMadeAgainIsFollowedAgain)
{
    fs::remove_all(project.folder() / "Images");
    EXPECT_TRUE(reportedAfterQuiet());
    fs::create_directories(project.folder() / "Images");
    EXPECT_FALSE(watcher.Poll()) << "this poll watches the new folder";
    project.Write("Images/luz.png", "back");
    EXPECT_TRUE(reportedAfterQuiet());
}

// Regression: a save made while the watch was armed again (for the files of the publish that the
// last report started, or for a folder made again) was never reported.
TEST_F(Saves, ASaveMadeWhileTheWatchIsArmedAgainIsReported)
{
    const struct {
        const char* what;
        std::function<void()> reported, saveAndRearm;
    } rows[] = {
        {"watched again after the publish", [&] { project.Write("screen.xml", "<SCREEN/>"); },
         [&] {
             project.Write("Images/luz.png", "saved while publishing");
             EXPECT_TRUE(watcher.Watch(followed));
         }},
        {"its folder made again", [&] { fs::remove_all(project.folder() / "Images"); },
         [&] {
             fs::create_directories(project.folder() / "Images");
             project.Write("Images/luz.png", "saved before the next poll");
         }},
    };
    for (const auto& row : rows) {
        row.reported();
        ASSERT_TRUE(reportedAfterQuiet()) << row.what;
        row.saveAndRearm();
        EXPECT_TRUE(reportedAfterQuiet()) << row.what;
    }
    EXPECT_TRUE(watcher.Watch(followed));
    clock.advance(5s);
    EXPECT_FALSE(watcher.Poll()) << "watched again with nothing saved";
}

TEST(SaveWatcher, FoldersBeyondTheLimitAreNotFollowed)
{
    TempProject project("saves-limit", {});
    ManualClock clock;
    TSaveWatcher watcher(clock);
    std::vector<std::string> files;
    for (size_t i = 0; i <= MaxWatchedFolders; ++i) {
        fs::create_directories(project.folder() / std::to_string(i));
        files.push_back((project.folder() / std::to_string(i) / "f.png").string());
    }
    ASSERT_TRUE(watcher.Watch(files));
    project.Write(std::to_string(MaxWatchedFolders) + "/f.png", "x");
    EXPECT_FALSE(noticed(watcher, 200ms)) << "one past the limit";
    project.Write(std::to_string(MaxWatchedFolders - 1) + "/f.png", "x");
    EXPECT_TRUE(noticed(watcher));
    clock.advance(SaveQuietTime);
    EXPECT_TRUE(watcher.Poll()) << "at the limit";
    watcher.Stop();
    EXPECT_FALSE(watcher.Watching());
}

}  // namespace
}  // namespace velmora::test
