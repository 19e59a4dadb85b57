// The shell's "open" on POSIX systems: an opener program started with the target as its one argument.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "publish/FormSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
