#pragma once
// The file system as the program uses it. Paths are UTF-8 text everywhere in the program and take
// the platform's own form only inside this interface (UTF-16 at each Windows call, never the ANSI
// code page). One implementation per platform: FileSystemPosix.cpp and FileSystemWindows.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// An open file: a descriptor on POSIX systems, a handle on Windows.
using TFileHandle = std::intptr_t;
inline constexpr TFileHandle InvalidFileHandle = -1;

enum class TFileMode {
    Read,
    Write,
    ReadWrite,
    // Created, or emptied when it exists.
    Create,
    // Created; fails when a file of that name exists.
    CreateNew,
};

enum class TFileKind { Missing, Regular, Folder, Other };

struct TFileStatus {
    TFileKind Kind = TFileKind::Missing;
    int64_t Size = 0;
    // The last write, in the system's own steps (nanoseconds on POSIX systems, 100 ns on Windows).
    int64_t Modified = 0;
    // The file's number on its volume (an inode), which a file renamed in its place does not share;
    // 0 when the system does not tell it by path (Windows).
    uint64_t Identity = 0;
    bool operator==(const TFileStatus&) const = default;
};

enum class TFileOrigin { Beginning, Current, End };

// Opens the file so that others may still read, write, rename and delete it: an editor saving an
// image, or a new manifest replacing the old, never waits for a phone's download. Answers
// InvalidFileHandle with the system's error code in error.
TFileHandle OpenFileHandle(const std::string& path, TFileMode mode, int& error);
// Opens the file for reading only when, once open, it is a regular file whose size counts its
// bytes: the open never waits (a FIFO in its place would hold it until a writer came) and the type
// is read from the open file. Answers InvalidFileHandle with error 0 for anything else (a FIFO,
// socket, device, folder, reserved device name or a kernel's pseudo-file), with the system's error
// code when the file cannot be opened. An open file's size as the check read it goes into size
// (-1 otherwise).
TFileHandle OpenRegularFileHandle(const std::string& path, int& error, int64_t& size);
// The same along a path with no link in any of its names, so that where the file lies follows from
// the names alone. Answers InvalidFileHandle with error 0 also when a name on the way is a link or
// the system cannot open this way (Windows; a Linux older than 5.6): then open it the usual way.
TFileHandle OpenRegularFileHandleWithoutLinks(const std::string& path, int& error, int64_t& size);
void CloseFileHandle(TFileHandle file);
// Bytes read, 0 at the end; -1 on failure, the code in LastSystemError().
int64_t ReadFromFile(TFileHandle file, void* buffer, size_t count);
// Bytes written; -1 on failure.
int64_t WriteToFile(TFileHandle file, const void* buffer, size_t count);
// The new position; -1 on failure.
int64_t SeekInFile(TFileHandle file, int64_t offset, TFileOrigin origin);
// Writes the file's data through to the disk; answers 0 or the system's error code.
int FlushToDisk(TFileHandle file);
// What the open file is, and its size; Missing when the system cannot tell.
TFileStatus StatusOfFile(TFileHandle file);

// What the path names, links followed; Missing when nothing does or it cannot be reached.
TFileStatus StatusOfPath(const std::string& path);
// The path with every link followed, absolute, with "/" between its names (a drive's path on
// Windows, "C:/..."), for comparing where two paths really lead; empty when it cannot be resolved.
std::string ResolvedPathOfPath(const std::string& path);
// The same for an open file, which openedAs named when it was opened.
std::string ResolvedPathOf(TFileHandle file, const std::string& openedAs);
// The names in a folder without "." and ".."; none when the folder cannot be read.
std::optional<std::vector<std::string>> ListFolder(const std::string& folder);
// The path with its last count parts spelled as the file system keeps them: Windows finds names in
// any letter case, and the project's check reports a name whose case differs. The path itself where
// names match only exactly (POSIX systems) or when the system cannot tell.
std::string NamesAsOnDisk(const std::string& path, size_t count);
// Puts the file at from in the place of to in one step: a reader opening to sees the whole old
// file or the whole new one. Answers 0 or the system's error code.
int MoveReplacing(const std::string& from, const std::string& to);
// Answers 0 or the system's error code.
int DeletePath(const std::string& path);

// The calling thread's last error code of a file or socket call, and setting it as a failing call
// would (for stand-ins of the system in tests).
int LastSystemError();
void SetLastSystemError(int error);
// The system's text for an error code, in UTF-8.
std::string SystemErrorText(int error);

// Whether c separates a path's parts here: "/" everywhere, "\" and the drive's ":" on Windows.
bool IsPathSeparator(char c);
// Whether the path starts at a root ("/", a drive or a share) rather than at the current folder.
bool IsAbsolutePath(const std::string& path);
// The path made absolute against the current folder and lexically normal; the path itself when
// that fails.
std::string AbsolutePath(const std::string& path);
// The current folder with a trailing separator; empty when it cannot be read.
std::string CurrentFolder();
// The folder for temporary files; empty when there is none.
std::string TempFolder();

// A UTF-8 path as the standard library's path, and back: never through the ANSI code page.
std::filesystem::path PathOf(const std::string& utf8);
std::string TextOf(const std::filesystem::path& path);

}  // namespace velmora
