// Drives the velmora-talk program through its standard input and output.

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"

namespace velmora {
namespace {

// The program's longest accepted line, in bytes.
constexpr size_t ToolLineLimit = 65536;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class VelmoraTalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("velmora-talk-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    Outcome run(const std::vector<std::string>& args, const std::string& input)
    {
        const std::string in = (m_dir / "in").string();
        std::ofstream(in, std::ios::binary) << input;
        test::ChildProcess program(VELMORA_TALK_TOOL, args, 0, in);
        // The whole output first: an answer larger than the pipe holds up the program until read.
        std::string out = program.output();
        std::string err = program.errors();
        return {program.wait(), std::move(out), std::move(err)};
    }

private:
    std::filesystem::path m_dir;
};

TEST_F(VelmoraTalk, AnswersOneLinePerThought)
{
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string input;
        std::string output;
    } rows[] = {
        {"default personality", {}, "I want a car\n", "What would it mean to you if you got a car   ?\n"},
        {"sound after a tab",
         {"--personality", "brovick"},
         "more sex talk\nwhat about sex then\n",
         "I never discuss that subject.\nYou had better ask Amarette about that, not me.\tLaugh\n"},
        {"switch mid-way, CRLF lines",
         {},
         "Hello\r\n/personality mstechsupport\r\nMy problem is my printer\r\n",
         "How do you do ...please state your problem.\nSo you are calling about my printer   ?\n"},
        {"switch restarts rotations",
         {},
         "Blue sky\n  /personality   Talvo \nGreen grass\n",
         "Say, do you have any psychological problems?\nSay, do you have any psychological problems?\n"},
        {"blank lines, last line unterminated",
         {},
         "\n   \nBlue sky",
         "\n\nSay, do you have any psychological problems?\n"},
        {"not a switch", {}, "/personalityBrovick\n", "Say, do you have any psychological problems?\n"},
    };
    for (const auto& row : rows) {
        const Outcome outcome = run(row.args, row.input);
        EXPECT_EQ(outcome.status, 0) << row.what;
        EXPECT_EQ(outcome.out, row.output) << row.what;
        EXPECT_EQ(outcome.err, "") << row.what;
    }
}

TEST_F(VelmoraTalk, RefusesALinePastTheLimitAndGoesOn)
{
    const std::string atLimit = "I want " + std::string(ToolLineLimit - 7, 'a');
    const std::string pastLimit = atLimit + "a";
    const Outcome outcome = run({}, atLimit + "\n" + pastLimit + "\nBlue sky\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out,
              "What would it mean to you if you got " + std::string(ToolLineLimit - 7, 'a') +
                  "   ?\n\nSay, do you have any psychological problems?\n");
    EXPECT_EQ(outcome.err, "velmora-talk: line 2 is longer than 65536 bytes; skipped.\n");
}

TEST_F(VelmoraTalk, RefusesUnknownArguments)
{
    const std::vector<std::string> rows[] = {{"--bogus"}, {"--personality"}, {"--personality", "a", "b"}};
    for (const auto& args : rows) {
        const Outcome outcome = run(args, "Hello\n");
        EXPECT_EQ(outcome.status, 2) << args.front();
        EXPECT_EQ(outcome.out, "") << args.front();
        EXPECT_NE(outcome.err.find("usage: velmora-talk [--personality NAME]"), std::string::npos) << args.front();
    }
}

}  // namespace
}  // namespace velmora
