#include "publish/LogQueue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <thread>

#include "TestPipe.h"
#include "publish/ConsoleLog.h"

namespace velmora::test {
namespace {

TEST(LogQueue, KeepsLinesUpToItsBoundAndReportsTheRestAsOmitted)
{
    const struct {
        size_t appended;
        std::vector<std::string> taken;
    } rows[] = {
        {0, {}},
        {2, {"0", "1"}},
        {3, {"0", "1", "2"}},
        {4, {"0", "1", "2", "(1 linhas omitidas)"}},
        {7, {"0", "1", "2", "(4 linhas omitidas)"}},
    };
    for (const auto& row : rows) {
        TLogQueue queue(3);
        for (size_t i = 0; i < row.appended; ++i)
            queue.Append(std::to_string(i));
        EXPECT_EQ(queue.Take(), row.taken) << row.appended;
        EXPECT_TRUE(queue.Take().empty()) << "a take empties the queue and the count";
    }
}

// Regression: with the view paused, lines of long paths grew the queue by hundreds of megabytes.
TEST(LogQueue, KeepsLinesUpToItsBoundOfBytesAndReportsTheRestAsOmitted)
{
    const struct {
        std::vector<std::string> appended;
        std::vector<std::string> taken;
    } rows[] = {
        {{"abc", "def"}, {"abc", "def"}},
        {{"abc", "defg"}, {"abc", "(1 linhas omitidas)"}},
        {{"abcdefg", "hi"}, {"hi", "(1 linhas omitidas)"}},
    };
    for (const auto& row : rows) {
        TLogQueue queue(10, 6);
        for (int round = 0; round < 2; ++round) {
            for (const auto& line : row.appended)
                queue.Append(line);
            EXPECT_EQ(queue.Take(), row.taken) << row.appended[0] << ", round " << round << ": a take frees the bytes";
        }
    }
}

// Regression: a decoded line feed in a requested path wrote a forged "Servidor Ativo!" line into
// the log. Every view shows the line as the queue keeps it.
TEST(LogQueue, ControlCharactersAreEscapedAsTheLineEntersSoEachStaysOneLine)
{
    const struct {
        std::string line;
        std::string kept;
    } rows[] = {
        {"Arquivo /a.png OK.", "Arquivo /a.png OK."},
        {"Arquivo /x\nServidor Ativo!\ny.png não encontrado.", "Arquivo /x%0AServidor Ativo!%0Ay.png não encontrado."},
        {std::string("\x00\x1f \x7f\x80~\r\x1b[2J", 11), "%00%1F %7F\x80~%0D%1B[2J"},
        {"", ""},
    };
    for (const auto& row : rows) {
        TLogQueue queue;
        queue.Append(row.line);
        EXPECT_EQ(queue.Take(), std::vector<std::string>{row.kept}) << row.kept;
    }
    TLogQueue queue;
    queue.AppendDrawn("\x1b[30;107m\u2580\x1b[0m");
    EXPECT_EQ(queue.Take(), std::vector<std::string>{"\x1b[30;107m\u2580\x1b[0m"}) << "the program's own drawing";
}

TEST(LogQueue, TellsTheReaderOnceEachTimeItStopsBeingEmpty)
{
    TLogQueue queue(2);
    int told = 0;
    queue.OnPending = [&] { ++told; };
    queue.Append("a");
    queue.Append("b");
    queue.Append("dropped");
    EXPECT_EQ(told, 1);
    queue.Take();
    queue.Append("c");
    EXPECT_EQ(told, 2);
}

// Lines of many threads arrive whole and, for each thread, in the order it wrote them.
TEST(LogQueue, LinesFromManyThreadsArriveWholeAndInEachThreadsOrder)
{
    constexpr int Threads = 8, Lines = 1000;
    TLogQueue queue(Threads * Lines);
    std::atomic<bool> done{false};
    std::vector<std::string> seen;
    std::thread reader([&] {
        while (!done)
            for (auto& line : queue.Take())
                seen.push_back(std::move(line));
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
        writers.emplace_back([&queue, t] {
            for (int i = 0; i < Lines; ++i)
                queue.Append("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (auto& writer : writers)
        writer.join();
    done = true;
    reader.join();
    for (auto& line : queue.Take())
        seen.push_back(std::move(line));

    ASSERT_EQ(seen.size(), size_t{Threads * Lines});
    std::map<int, int> next;
    for (const auto& line : seen) {
        int thread = -1, number = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &thread, &number), 2) << line;
        EXPECT_EQ(number, next[thread]++) << line;
    }
}

TEST(ConsoleLog, WritesEveryLineInOrder)
{
    TestPipe pipe;
    TLogQueue queue;
    {
        TConsoleLog console(queue, pipe.writeEnd());
        for (int i = 0; i < 100; ++i)
            queue.Append("line " + std::to_string(i));
        console.Stop();
    }
    std::string expected;
    for (int i = 0; i < 100; ++i)
        expected += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(pipe.readAvailable(), expected);
}

// The writer gathers lines for a moment before each write: every burst still goes out while the
// log runs, not only at the stop, including a burst appended while the one before is being written.
TEST(ConsoleLog, EveryBurstGoesOutWithoutAStop)
{
    TestPipe pipe;
    TLogQueue queue;
    TConsoleLog console(queue, pipe.writeEnd());
    std::string written, expected;
    for (int burst = 0; burst < 3; ++burst) {
        for (int i = 0; i < 50; ++i) {
            const std::string line = "burst " + std::to_string(burst) + " line " + std::to_string(i);
            queue.Append(line);
            expected += line + "\n";
        }
        // Far beyond the gathering time: only a writer that kept the lines back waits this out.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (written.size() < expected.size() && std::chrono::steady_clock::now() < giveUp) {
            written += pipe.readAvailable();
            std::this_thread::sleep_for(ConsoleLogGatherTime / 5);
        }
        ASSERT_EQ(written, expected) << "burst " << burst;
    }
    console.Stop();
}

// Regression: a stdout pipe that nobody read held up every thread that logged, and exit with it.
TEST(ConsoleLog, APipeNobodyReadsNeitherBlocksTheWritersNorTheStop)
{
    TestPipe pipe;
    TLogQueue queue(100);
    TConsoleLog console(queue, pipe.writeEnd());
    const std::string line(1000, 'x');
    for (int i = 0; i < 20000; ++i)
        queue.Append(line);
    console.Stop(std::chrono::milliseconds(50));

    std::string written = pipe.readAvailable();
    EXPECT_GT(written.size(), 0u);
    EXPECT_LT(written.size(), 20000u * 1001u) << "the pipe holds far less than was appended";
}

}  // namespace
}  // namespace velmora::test
