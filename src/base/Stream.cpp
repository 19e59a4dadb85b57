#include "base/Stream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>

namespace velmora {

std::string SystemErrorText(int error)
{
    return std::system_category().message(error);
}

std::string FullPath(const std::string& path)
{
    std::error_code ignored;
    auto full = std::filesystem::absolute(path, ignored);
    return ignored ? path : full.lexically_normal().string();
}

EFOpenError MakeFOpenError(const std::string& path, int error)
{
    return EFOpenError(FormatMessage(SFOpenErrorEx, {FullPath(path), SystemErrorText(error)}));
}

EFCreateError MakeFCreateError(const std::string& path, int error)
{
    return EFCreateError(FormatMessage(SFCreateErrorEx, {FullPath(path), SystemErrorText(error)}));
}

int64_t TStream::Size()
{
    int64_t here = Position();
    int64_t end = Seek(0, TSeekOrigin::soEnd);
    SetPosition(here);
    return end;
}

void TStream::ReadBuffer(void* buffer, size_t count)
{
    auto* out = static_cast<char*>(buffer);
    while (count > 0) {
        size_t got = Read(out, count);
        if (got == 0)
            throw EReadError(SReadError);
        out += got;
        count -= got;
    }
}

namespace {

int openFlags(TFileStream::Mode mode)
{
    switch (mode) {
    case TFileStream::fmOpenRead:
        return O_RDONLY;
    case TFileStream::fmOpenWrite:
        return O_WRONLY;
    case TFileStream::fmOpenReadWrite:
        return O_RDWR;
    case TFileStream::fmCreate:
        return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

// What the open descriptor holds: a regular file whose size counts its bytes. The kernel's
// pseudo-files announce a size (4096 in /sys, 0 in /proc) that says nothing of what a read gives.
bool isRegularFile(int fd)
{
    struct stat status {};
    struct statfs system {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::fstatfs(fd, &system) != 0)
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

int whence(TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::soBeginning:
        return SEEK_SET;
    case TSeekOrigin::soCurrent:
        return SEEK_CUR;
    case TSeekOrigin::soEnd:
        return SEEK_END;
    }
    return SEEK_SET;
}

}  // namespace

TFileStream::TFileStream(const std::string& path, Mode mode) : m_path(path)
{
    m_fd = ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        int error = errno;
        if (mode == fmCreate)
            throw MakeFCreateError(path, error);
        throw MakeFOpenError(path, error);
    }
}

std::unique_ptr<TFileStream> TFileStream::OpenRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A socket cannot be opened at all; it is no file either.
        if (errno == ENXIO)
            return nullptr;
        throw MakeFOpenError(path, errno);
    }
    if (!isRegularFile(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TFileStream>(new TFileStream(path, fd));
}

std::string TFileStream::ResolvedPath() const
{
    std::error_code failed;
    auto resolved = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(m_fd), failed);
    // Without /proc the name is resolved instead.
    if (failed)
        resolved = std::filesystem::canonical(m_path, failed);
    return failed ? std::string() : resolved.string();
}

TFileStream::~TFileStream()
{
    ::close(m_fd);
}

size_t TFileStream::Read(void* buffer, size_t count)
{
    for (;;) {
        ssize_t got = ::read(m_fd, buffer, count);
        if (got >= 0)
            return static_cast<size_t>(got);
        if (errno != EINTR)
            throw EReadError(SReadError);
    }
}

void TFileStream::Write(const void* buffer, size_t count)
{
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        ssize_t put = ::write(m_fd, in, count);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw EWriteError(SWriteError);
        in += put;
        count -= static_cast<size_t>(put);
    }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    off_t result = ::lseek(m_fd, offset, whence(origin));
    if (result < 0)
        throw EStreamError(SystemErrorText(errno));
    return result;
}

size_t TStringStream::Read(void* buffer, size_t count)
{
    size_t available = m_position < m_data.size() ? m_data.size() - m_position : 0;
    size_t n = std::min(count, available);
    std::memcpy(buffer, m_data.data() + m_position, n);
    m_position += n;
    return n;
}

void TStringStream::Write(const void* buffer, size_t count)
{
    if (m_position > m_data.size())
        m_data.resize(m_position);
    m_data.replace(m_position, std::min(count, m_data.size() - m_position), static_cast<const char*>(buffer), count);
    m_position += count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
        : origin == TSeekOrigin::soCurrent            ? static_cast<int64_t>(m_position)
                                                      : static_cast<int64_t>(m_data.size());
    int64_t target = base + offset;
    if (target < 0)
        throw EStreamError("Invalid stream position");
    m_position = static_cast<size_t>(target);
    return target;
}

std::string ReadWholeFile(const std::string& path)
{
    TFileStream file(path, TFileStream::fmOpenRead);
    std::string bytes(static_cast<size_t>(file.Size()), '\0');
    file.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace velmora
