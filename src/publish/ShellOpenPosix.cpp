#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

#include "publish/FormSupport.h"

extern char** environ;

namespace velmora {

namespace {

// "$0" is the opener and "$1" the target: neither is ever read as shell text. The background
// job outlives the shell, which ends at once, so the opener is nobody's child to wait for.
constexpr const char* DetachedOpenScript = "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &";

}  // namespace

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

    std::string shell = "sh", dashC = "-c", script = DetachedOpenScript,
                openerArg = opener.empty() ? "xdg-open" : opener, targetArg = target;
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
