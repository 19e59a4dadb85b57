#include "base/Stream.h"

#include <cstring>

#include "base/FileSystem.h"

namespace velmora {

std::string FullPath(const std::string& path)
{
    return AbsolutePath(path);
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

TFileMode fileModeOf(TFileStream::Mode mode)
{
    switch (mode) {
    case TFileStream::fmOpenRead:
        return TFileMode::Read;
    case TFileStream::fmOpenWrite:
        return TFileMode::Write;
    case TFileStream::fmOpenReadWrite:
        return TFileMode::ReadWrite;
    case TFileStream::fmCreate:
        return TFileMode::Create;
    }
    return TFileMode::Read;
}

TFileOrigin fileOriginOf(TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::soBeginning:
        return TFileOrigin::Beginning;
    case TSeekOrigin::soCurrent:
        return TFileOrigin::Current;
    case TSeekOrigin::soEnd:
        return TFileOrigin::End;
    }
    return TFileOrigin::Beginning;
}

}  // namespace

TFileStream::TFileStream(const std::string& path, Mode mode) : m_path(path)
{
    int error = 0;
    m_file = OpenFileHandle(path, fileModeOf(mode), error);
    if (m_file == InvalidFileHandle) {
        if (mode == fmCreate)
            throw MakeFCreateError(path, error);
        throw MakeFOpenError(path, error);
    }
}

std::unique_ptr<TFileStream> TFileStream::OpenRegularFile(const std::string& path)
{
    int error = 0;
    int64_t size = -1;
    const TFileHandle file = OpenRegularFileHandle(path, error, size);
    if (file != InvalidFileHandle)
        return std::unique_ptr<TFileStream>(new TFileStream(path, file, size));
    if (error != 0)
        throw MakeFOpenError(path, error);
    return nullptr;
}

std::unique_ptr<TFileStream> TFileStream::TryOpenRegularFile(const std::string& path)
{
    int error = 0;
    int64_t size = -1;
    const TFileHandle file = OpenRegularFileHandle(path, error, size);
    return file == InvalidFileHandle ? nullptr : std::unique_ptr<TFileStream>(new TFileStream(path, file, size));
}

std::unique_ptr<TFileStream> TFileStream::TryOpenRegularFileWithoutLinks(const std::string& path, int& error)
{
    int64_t size = -1;
    const TFileHandle file = OpenRegularFileHandleWithoutLinks(path, error, size);
    return file == InvalidFileHandle ? nullptr : std::unique_ptr<TFileStream>(new TFileStream(path, file, size));
}

std::string TFileStream::ResolvedPath() const
{
    return ResolvedPathOf(m_file, m_path);
}

TFileStream::~TFileStream()
{
    CloseFileHandle(m_file);
}

size_t TFileStream::Read(void* buffer, size_t count)
{
    m_atStart = false;
    const int64_t got = ReadFromFile(m_file, buffer, count);
    if (got < 0)
        throw EReadError(SReadError);
    return static_cast<size_t>(got);
}

void TFileStream::Write(const void* buffer, size_t count)
{
    m_atStart = false;
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const int64_t put = WriteToFile(m_file, in, count);
        if (put <= 0)
            throw EWriteError(SWriteError);
        in += put;
        count -= static_cast<size_t>(put);
    }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    if (m_atStart && offset == 0 && origin != TSeekOrigin::soEnd)
        return 0;
    const int64_t result = SeekInFile(m_file, offset, fileOriginOf(origin));
    if (result < 0)
        throw EStreamError(SystemErrorText(LastSystemError()));
    m_atStart = result == 0;
    return result;
}

int64_t TFileStream::FileSize() const
{
    const TFileStatus status = StatusOfFile(m_file);
    return status.Kind == TFileKind::Missing ? -1 : status.Size;
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
