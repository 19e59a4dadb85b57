#include "publish/FormSupport.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ProgramTitle, IsTheFileNameCutBeforeItsFirstDotAndLowerCasedAfterItsFirstLetter)
{
    const struct {
        const char* path;
        const char* title;
    } rows[] = {
        {"/usr/bin/velmora", "velmora"},
        {"velmora", "velmora"},
        {"/opt/Velmora/VELMORA.EXE", "Velmora"},
        {"/a.b/c.d/Velmora.Screen.bin", "Velmora"},
        {"/usr/bin/VelMora-Server", "Velmora-server"},
        {"/tmp/.hidden", ""},
        {"", ""},
        {"/usr/bin/", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ProgramTitle(row.path), row.title) << row.path;
}

TEST(FittedLeft, KeepsTheStoredPlaceWhereTheWindowFitsAndMovesItLeftWhereItWouldNot)
{
    const struct {
        int screenLeft, screenWidth, expected;
    } rows[] = {
        {0, 1920, 472},  // fits from the stored place
        {0, 1558, 472},  // just fits
        {0, 1557, 471},  // one pixel short: moved left by one
        {0, 1366, 280},  // a laptop's screen
        {0, 800, 0},  // narrower than the window: its left edge stays on the screen
        {0, 1086, 0},  // exactly as wide as the window
        {100, 800, 100},  // a screen area that begins right of the origin
    };
    for (const auto& row : rows)
        EXPECT_EQ(FittedLeft(472, 1086, row.screenLeft, row.screenWidth), row.expected)
            << row.screenLeft << "+" << row.screenWidth;
}

TEST(DialogFilter, MatchesItsPatternsInAnyLetterCase)
{
    const struct {
        const char* pattern;
        const char* glob;
    } globs[] = {
        {"screen.xml", "[sS][cC][rR][eE][eE][nN].[xX][mM][lL]"},
        {"*.X1", "*.[xX]1"},
        {"[ab]c?", "[ab][cC]?"},
        {"", ""},
    };
    for (const auto& row : globs)
        EXPECT_EQ(CaseInsensitiveGlob(row.pattern), row.glob) << row.pattern;

    const struct {
        const char* filter;
        std::vector<std::string> nameFilters;
    } filters[] = {
        {"Referência Module Screen|screen.xml", {"Referência Module Screen ([sS][cC][rR][eE][eE][nN].[xX][mM][lL])"}},
        {"Imagens|*.png;*.jpg|Tudo|*", {"Imagens (*.[pP][nN][gG] *.[jJ][pP][gG])", "Tudo (*)"}},
        {"sem padrão", {}},
        {"", {}},
    };
    for (const auto& row : filters)
        EXPECT_EQ(NameFiltersOf(row.filter), row.nameFilters) << row.filter;
}

// An opener that records its argument and its blocked signals, in a folder of its own.
class Opener : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("velmora-open-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        script = folder / "opener";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "grep SigBlk /proc/self/status > \"$(dirname \"$0\")/mask\"\n"
                                 "printf %s \"$1\" > \"$(dirname \"$0\")/arg.tmp\"\n"
                                 "mv \"$(dirname \"$0\")/arg.tmp\" \"$(dirname \"$0\")/arg\"\n";
        fs::permissions(script, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(folder); }

    // The opener's record, once it has written it; empty when it never does.
    std::string recorded(const std::string& name)
    {
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!fs::exists(folder / "arg") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        std::ifstream in(folder / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder, script;
};

TEST_F(Opener, GetsTheTargetAsOneArgumentNeverAsShellText)
{
    const std::string target = "192.168.7.7:8099 $(touch pwned) ; \"x\" 'y'";
    ASSERT_TRUE(ShellOpen(target, script.string()));
    EXPECT_EQ(recorded("arg"), target);
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(Opener, DoesNotInheritTheSignalsTheWindowBlocks)
{
    sigset_t stop, before;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &before);
    const bool launched = ShellOpen("x", script.string());
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_TRUE(launched);
    recorded("arg");
    EXPECT_EQ(recorded("mask"), "SigBlk:\t0000000000000000\n");
}

}  // namespace
}  // namespace velmora::test
