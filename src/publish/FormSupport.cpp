#include "publish/FormSupport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace velmora {

namespace {

// "$0" is the opener and "$1" the target: neither is ever read as shell text. The background
// job outlives the shell, which ends at once, so the opener is nobody's child to wait for.
constexpr const char* DetachedOpenScript = "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &";

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

}  // namespace

std::string ProgramTitle(const std::string& executablePath)
{
    std::string name = executablePath.substr(executablePath.rfind('/') + 1);
    name = name.substr(0, name.find('.'));
    for (size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    return name;
}

int FittedLeft(int storedLeft, int windowWidth, int screenLeft, int screenWidth)
{
    const int rightmost = screenLeft + screenWidth - windowWidth;
    return std::max(screenLeft, std::min(storedLeft, rightmost));
}

std::string CaseInsensitiveGlob(const std::string& pattern)
{
    std::string glob;
    bool inBracket = false;
    for (char c : pattern) {
        const auto byte = static_cast<unsigned char>(c);
        if (inBracket || c == '[') {
            inBracket = c != ']';
            glob += c;
        } else if (byte < 0x80 && std::isalpha(byte)) {
            glob += '[';
            glob += static_cast<char>(std::tolower(byte));
            glob += static_cast<char>(std::toupper(byte));
            glob += ']';
        } else {
            glob += c;
        }
    }
    return glob;
}

std::vector<std::string> NameFiltersOf(const std::string& filter)
{
    std::vector<std::string> parts = split(filter, '|');
    std::vector<std::string> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string globs;
        for (const std::string& pattern : split(parts[i + 1], ';')) {
            if (pattern.empty())
                continue;
            if (!globs.empty())
                globs += ' ';
            globs += CaseInsensitiveGlob(pattern);
        }
        filters.push_back(parts[i] + " (" + globs + ")");
    }
    return filters;
}

bool ShellOpen(const std::string& target, const std::string& opener)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The window blocks its stop signals for its own use; the opener must not inherit that, nor
    // any signal this process ignores, and it leaves the terminal's process group so that a Ctrl+C
    // meant for the window does not reach the browser.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::string shell = "sh", dashC = "-c", script = DetachedOpenScript, openerArg = opener, targetArg = target;
    char* argv[] = {shell.data(), dashC.data(), script.data(), openerArg.data(), targetArg.data(), nullptr};
    pid_t pid = 0;
    int failed = ::posix_spawn(&pid, "/bin/sh", nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (failed)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace velmora
