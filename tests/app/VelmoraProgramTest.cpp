#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

#include "ChildProcess.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* Usage = "usage: velmora (opens the window; takes no arguments)\n";

// Whether the program has come far enough that a stop signal waits for its window.
bool stopSignalsBlocked(pid_t pid)
{
    for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(10ms)) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("SigBlk:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1))))
                return true;
    }
    return false;
}

TEST(VelmoraProgram, TakesNoArgumentsBeyondHelpAndVersion)
{
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } rows[] = {
        {{"--version"}, 0, "velmora " VELMORA_VERSION "\n", ""},
        {{"--help"}, 0, Usage, ""},
        {{"examples/demo/screen.xml"}, 2, "", Usage},
        {{"--help", "--version"}, 2, "", Usage},
        {{"-platform", "offscreen"}, 2, "", Usage},
        {{""}, 2, "", Usage},
    };
    for (const auto& row : rows) {
        ChildProcess program(VELMORA_PROGRAM, row.args);
        EXPECT_EQ(program.wait(), row.status) << row.args.front();
        EXPECT_EQ(program.output(), row.out) << row.args.front();
        EXPECT_EQ(program.errors(), row.err) << row.args.front();
    }
}

// The window draws off screen here: the test's own environment says so.
TEST(VelmoraProgram, AStopSignalClosesTheWindowAndEndsWithStatusZero)
{
    const struct {
        const char* name;
        std::function<void(ChildProcess&)> send;
    } rows[] = {{"SIGTERM", [](ChildProcess& program) { program.stop(); }},
                {"SIGINT", [](ChildProcess& program) { program.interrupt(); }},
                {"SIGHUP", [](ChildProcess& program) { program.hangUp(); }}};
    for (const auto& row : rows) {
        ChildProcess program(VELMORA_PROGRAM, {});
        ASSERT_TRUE(stopSignalsBlocked(program.pid()));
        row.send(program);
        EXPECT_EQ(program.wait(), 0) << row.name << "\n" << program.errors();
    }
}

}  // namespace
}  // namespace velmora::test
