#pragma once
// Runs one of the project's programs as a child process for a test, with its stdout and stderr on
// pipes; the child is killed if the test ends before it does. One implementation per platform:
// ChildProcessPosix.cpp, ChildProcessWindows.cpp.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::test {

// A program of ours as a child process whose output the test reads: line by line as it comes, or
// whole once it has ended.
class ChildProcess {
public:
    // outputPipeSize, when not 0, shrinks the pipe of stdout to about that many bytes; the child
    // reads its stdin from inputFile when one is named.
    ChildProcess(const char* program, std::vector<std::string> args, int outputPipeSize = 0,
                 const std::string& inputFile = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // From now on stdout is read and dropped until the process ends; nextLine must not be called.
    void drainOutput();
    // The next whole line of stdout, or none when the time passes or the output ends.
    std::optional<std::string> nextLine(std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool waitForLine(const std::string& wanted) { return waitForPrefix(wanted, true).has_value(); }
    // The next line that begins with the prefix (or equals it, when whole is set).
    std::optional<std::string> waitForPrefix(const std::string& prefix, bool whole = false)
    {
        while (auto line = nextLine())
            if (whole ? *line == prefix : line->rfind(prefix, 0) == 0)
                return line;
        return std::nullopt;
    }

    // The operator's controls from outside: stop (SIGTERM; on Windows Ctrl+Break, or the session's
    // end where no console event can be sent, as under Wine without a terminal), interrupt (SIGINT;
    // Ctrl+C on Windows; answers whether it could be sent), and where the system has them, hang up
    // (SIGHUP) and the end of the session (log-off or shut-down on Windows).
    void stop();
    bool interrupt();
    void hangUp();
    void endSession();
    static bool CanHangUp();
    static bool CanEndSession();

    // The exit status, or -1 when the process did not end within the time.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // What is left on stderr, or on stdout; read to the end, so only once the process has ended.
    std::string errors();
    std::string output();
    int pid() const;

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
    std::string m_pending;
};

}  // namespace velmora::test
