#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>

#include "base/FileSystem.h"

namespace velmora {

namespace {

int openFlags(TFileMode mode)
{
    switch (mode) {
    case TFileMode::Read:
        return O_RDONLY;
    case TFileMode::Write:
        return O_WRONLY;
    case TFileMode::ReadWrite:
        return O_RDWR;
    case TFileMode::Create:
        return O_RDWR | O_CREAT | O_TRUNC;
    case TFileMode::CreateNew:
        return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

TFileStatus statusOf(const struct stat& info)
{
    const TFileKind kind = S_ISREG(info.st_mode) ? TFileKind::Regular
        : S_ISDIR(info.st_mode)                  ? TFileKind::Folder
                                                 : TFileKind::Other;
    const int64_t modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return {kind, static_cast<int64_t>(info.st_size), modified, static_cast<uint64_t>(info.st_ino)};
}

template <class Call>
auto retryInterrupted(Call call)
{
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}

// What the open descriptor holds: a regular file whose size counts its bytes. The kernel's
// pseudo-files announce a size (4096 in /sys, 0 in /proc) that says nothing of what a read gives.
// Answers the file's size in size, so that a caller need not ask the system again.
bool isRegularFile(int fd, int64_t& size)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    size = static_cast<int64_t>(status.st_size);
    // The kernel's pseudo-file systems have no device of their own (major number 0); a file on a
    // disk's file system needs no second question.
    if (major(status.st_dev) != 0)
        return true;
    struct statfs system {};
    if (::fstatfs(fd, &system) != 0)
        return false;
    switch (system.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
        return false;
    default:
        return true;
    }
}

constexpr int RegularFileOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The descriptor when it holds a regular file. Otherwise none, with the open's errno in error
// unless countsAsNoFile takes it for no file at all.
template <class CountsAsNoFile>
TFileHandle regularFileOrNone(int fd, int& error, int64_t& size, CountsAsNoFile countsAsNoFile)
{
    error = 0;
    size = -1;
    if (fd < 0) {
        if (!countsAsNoFile(errno))
            error = errno;
        return InvalidFileHandle;
    }
    if (!isRegularFile(fd, size)) {
        ::close(fd);
        return InvalidFileHandle;
    }
    return fd;
}

}  // namespace

TFileHandle OpenRegularFileHandle(const std::string& path, int& error, int64_t& size)
{
    const int fd = retryInterrupted([&] { return ::open(path.c_str(), RegularFileOpenFlags); });
    // A socket cannot be opened at all; it is no file either.
    return regularFileOrNone(fd, error, size, [](int code) { return code == ENXIO; });
}

TFileHandle OpenRegularFileHandleWithoutLinks(const std::string& path, int& error, int64_t& size)
{
    open_how how{};
    how.flags = RegularFileOpenFlags;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const auto fd = retryInterrupted([&] { return ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how); });
    // ELOOP is a link on the way; ENOSYS, or EPERM from a container's filter, a system without
    // openat2.
    return regularFileOrNone(static_cast<int>(fd), error, size, [](int code) {
        return code == ENXIO || code == ELOOP || code == ENOSYS || code == EPERM || code == EINVAL || code == E2BIG;
    });
}

std::string ResolvedPathOfPath(const std::string& path)
{
    std::error_code failed;
    const std::string resolved = std::filesystem::canonical(path.empty() ? "." : path, failed).string();
    return failed ? std::string() : resolved;
}

std::string ResolvedPathOf(TFileHandle file, const std::string& openedAs)
{
    // Every file a phone fetches comes here: the link is read without the path library's work.
    // The buffer is the heap's, not the stack's, whose far pages a fresh connection thread would
    // have to fault in.
    auto buffer = std::make_unique_for_overwrite<char[]>(PATH_MAX);
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(file)).c_str(), buffer.get(), PATH_MAX);
    // Without /proc the name is resolved instead.
    if (length <= 0 || length >= PATH_MAX)
        return ResolvedPathOfPath(openedAs);
    return std::string(buffer.get(), static_cast<size_t>(length));
}

TFileHandle OpenFileHandle(const std::string& path, TFileMode mode, int& error)
{
    // New files get 0666 less the umask: whoever could read the file they replace can read them.
    const int fd = retryInterrupted([&] { return ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, 0666); });
    error = fd < 0 ? errno : 0;
    return fd < 0 ? InvalidFileHandle : fd;
}

void CloseFileHandle(TFileHandle file)
{
    ::close(static_cast<int>(file));
}

int64_t ReadFromFile(TFileHandle file, void* buffer, size_t count)
{
    return retryInterrupted([&] { return ::read(static_cast<int>(file), buffer, count); });
}

int64_t WriteToFile(TFileHandle file, const void* buffer, size_t count)
{
    return retryInterrupted([&] { return ::write(static_cast<int>(file), buffer, count); });
}

int64_t SeekInFile(TFileHandle file, int64_t offset, TFileOrigin origin)
{
    const int whence = origin == TFileOrigin::Beginning ? SEEK_SET
        : origin == TFileOrigin::Current                ? SEEK_CUR
                                                        : SEEK_END;
    return ::lseek(static_cast<int>(file), offset, whence);
}

int FlushToDisk(TFileHandle file)
{
    return ::fsync(static_cast<int>(file)) == 0 ? 0 : errno;
}

TFileStatus StatusOfFile(TFileHandle file)
{
    struct stat info {};
    return ::fstat(static_cast<int>(file), &info) == 0 ? statusOf(info) : TFileStatus{};
}

TFileStatus StatusOfPath(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? statusOf(info) : TFileStatus{};
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    // A stream of our own: readdir is safe on it.
    while (dirent* entry = ::readdir(dir)) {  // NOLINT(concurrency-mt-unsafe)
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

std::string NamesAsOnDisk(const std::string& path, size_t)
{
    return path;
}

int MoveReplacing(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int DeletePath(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int LastSystemError()
{
    return errno;
}

void SetLastSystemError(int error)
{
    errno = error;
}

std::string SystemErrorText(int error)
{
    return std::system_category().message(error);
}

bool IsPathSeparator(char c)
{
    return c == '/';
}

bool IsAbsolutePath(const std::string& path)
{
    return !path.empty() && path.front() == '/';
}

}  // namespace velmora
