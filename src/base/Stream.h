#pragma once
// Byte streams shared by the subsystems: files on disk and text held in memory. The XML writer
// saves into one, the HTTP response sends one as its body, the publish sequence reads one back.

#include <cstdint>
#include <memory>
#include <string>

#include "base/Exception.h"
#include "base/FileSystem.h"

namespace velmora {

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

inline constexpr const char* SFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";

// The path made absolute against the current directory, for error messages.
std::string FullPath(const std::string& path);
EFOpenError MakeFOpenError(const std::string& path, int error);
EFCreateError MakeFCreateError(const std::string& path, int error);

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads at most count bytes; answers how many, 0 at the end of the stream.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all count bytes or throws EWriteError.
    virtual void Write(const void* buffer, size_t count) = 0;
    // Answers the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    int64_t Size();
    // Reads exactly count bytes or throws EReadError.
    void ReadBuffer(void* buffer, size_t count);
    void WriteString(const std::string& text) { Write(text.data(), text.size()); }
};

// A file opened through the file system's handle, which is closed with the stream.
class TFileStream : public TStream {
public:
    enum Mode { fmOpenRead, fmOpenWrite, fmOpenReadWrite, fmCreate };
    // Throws EFOpenError (EFCreateError for fmCreate) with the full path and the system's text.
    TFileStream(const std::string& path, Mode mode);
    // Opens a file for reading only when, once open, it is a regular file whose size counts its
    // bytes. The open never waits (a FIFO put in the file's place would hold it until a writer came)
    // and the type is read from the open file, so nothing swapped in after a look at the name slips
    // through. Answers none for a FIFO, socket, device or folder and for a kernel's pseudo-file
    // (/proc, /sys); throws EFOpenError when the file cannot be opened.
    static std::unique_ptr<TFileStream> OpenRegularFile(const std::string& path);
    // The same, answering none whatever kept the file from opening: for a caller with another way
    // to find it, whose OpenRegularFile then tells why it cannot be opened.
    static std::unique_ptr<TFileStream> TryOpenRegularFile(const std::string& path);
    // The same along a path with no link in it (OpenRegularFileHandleWithoutLinks): error says
    // why there is none, 0 when the usual open may still find the file.
    static std::unique_ptr<TFileStream> TryOpenRegularFileWithoutLinks(const std::string& path, int& error);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // Whoever holds the handle may move the file's position, so the stream stops assuming its start.
    TFileHandle Handle() const
    {
        m_atStart = false;
        return m_file;
    }
    // The size of the open file, whatever the position; -1 when the system cannot tell.
    int64_t FileSize() const;
    // The size OpenRegularFile read as it checked the file, which spares a reply asking again; -1
    // for a stream opened otherwise.
    int64_t SizeAtOpen() const { return m_sizeAtOpen; }
    const std::string& FileName() const { return m_path; }
    // The path of the open file with every link followed, as ResolvedPathOf gives it; empty when
    // the system cannot tell.
    std::string ResolvedPath() const;

private:
    TFileStream(std::string path, TFileHandle file, int64_t size)
        : m_path(std::move(path)), m_file(file), m_sizeAtOpen(size), m_atStart(true)
    {
    }

    std::string m_path;
    TFileHandle m_file = InvalidFileHandle;
    int64_t m_sizeAtOpen = -1;
    // True while the position is known to be the start of a file OpenRegularFile opened, so that
    // the rewind before sending a file just opened costs no system call.
    mutable bool m_atStart = false;
};

// Bytes held in memory, growing as they are written.
class TStringStream : public TStream {
public:
    TStringStream() = default;
    explicit TStringStream(std::string data) : m_data(std::move(data)) {}

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    const std::string& DataString() const { return m_data; }

private:
    std::string m_data;
    size_t m_position = 0;
};

// Reads a whole file into memory; throws EFOpenError or EReadError.
std::string ReadWholeFile(const std::string& path);

}  // namespace velmora
