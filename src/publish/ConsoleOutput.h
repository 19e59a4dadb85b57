#pragma once
// Where a console program's text goes: its standard output or error, a terminal, a pipe or a file,
// written from one thread that may wait for a slow reader without holding anyone else up. One
// implementation per platform: ConsoleOutputPosix.cpp, ConsoleOutputWindows.cpp.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

class TConsoleOutput {
public:
    using TDeadline = std::function<std::chrono::steady_clock::time_point()>;

    virtual ~TConsoleOutput() = default;
    // Writes all the bytes (UTF-8); answers false when the output failed or when the deadline,
    // asked again while the reader keeps the output full, passed first.
    virtual bool WriteAll(const std::string& bytes, const TDeadline& deadline) = 0;
    // From another thread: ends a write that waits, which then answers false.
    virtual void Cancel() = 0;
};

// The output of a C library descriptor (1 for standard output, 2 for standard error). The console
// is readied for UTF-8 text and terminal colours where it needs it.
std::unique_ptr<TConsoleOutput> OpenConsoleOutput(int descriptor);

// Whether the descriptor is a terminal that shows colours.
bool ConsoleShowsColours(int descriptor);

}  // namespace velmora
