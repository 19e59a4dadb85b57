#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cwctype>

#include "base/FileSystem.h"
#include "base/Utf16.h"

namespace velmora {

namespace {

// How long a replacement waits, in pauses of how long, for the readers of the file it replaces.
constexpr DWORD ReplaceRetryWaitMs = 2000;
constexpr DWORD ReplaceRetryPauseMs = 10;

// Names that Windows takes for devices in every folder, whatever their extension: "NUL.png" opens
// the null device, "CON" the console. A project's file is never one of them.
bool isReservedName(const std::wstring& path)
{
    const size_t start = path.find_last_of(L"\\/:") == std::wstring::npos ? 0 : path.find_last_of(L"\\/:") + 1;
    std::wstring stem = path.substr(start, path.find(L'.', start) - start);
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.'))
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const Devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : Devices)
        if (stem == device)
            return true;
    return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) && stem[3] >= L'0' &&
        stem[3] <= L'9';
}

DWORD accessOf(TFileMode mode)
{
    switch (mode) {
    case TFileMode::Read:
        return GENERIC_READ;
    case TFileMode::Write:
    case TFileMode::CreateNew:
        return GENERIC_WRITE;
    case TFileMode::ReadWrite:
    case TFileMode::Create:
        return GENERIC_READ | GENERIC_WRITE;
    }
    return GENERIC_READ;
}

DWORD dispositionOf(TFileMode mode)
{
    switch (mode) {
    case TFileMode::Create:
        return CREATE_ALWAYS;
    case TFileMode::CreateNew:
        return CREATE_NEW;
    default:
        return OPEN_EXISTING;
    }
}

HANDLE handleOf(TFileHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

uint64_t joined(DWORD high, DWORD low)
{
    return (uint64_t(high) << 32) | low;
}

TFileStatus statusOf(DWORD attributes, uint64_t size, const FILETIME& written, uint64_t identity)
{
    const auto modified = static_cast<int64_t>(joined(written.dwHighDateTime, written.dwLowDateTime));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {TFileKind::Folder, 0, modified, identity};
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return {TFileKind::Other, 0, modified, identity};
    return {TFileKind::Regular, static_cast<int64_t>(size), modified, identity};
}

// The path of an open file or folder as the system resolves it, links followed: "C:/..." or
// "//server/share/...", without the long-path prefix; empty when the system cannot tell.
std::string finalPathOf(HANDLE file)
{
    std::wstring final(32768, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= final.size())
        return {};
    final.resize(length);
    std::string path = Utf8OfWide(final);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        path = "\\\\" + path.substr(8);
    else if (path.rfind("\\\\?\\", 0) == 0)
        path = path.substr(4);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Opens a file or a folder for reading its attributes only: nobody else is held back by it.
HANDLE openForLooking(const std::string& path)
{
    return ::CreateFileW(WideOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

TFileHandle OpenRegularFileHandle(const std::string& path, int& error, int64_t& size)
{
    error = 0;
    size = -1;
    const std::wstring wide = WideOf(path);
    if (isReservedName(wide))
        return InvalidFileHandle;
    // A folder opens too, with backup semantics, so that its kind is read from the open handle.
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return InvalidFileHandle;
    }
    const TFileHandle handle = reinterpret_cast<TFileHandle>(file);
    const TFileStatus status = StatusOfFile(handle);
    if (status.Kind != TFileKind::Regular) {
        ::CloseHandle(file);
        return InvalidFileHandle;
    }
    size = status.Size;
    return handle;
}

// CreateFileW has no way to refuse links on the way.
TFileHandle OpenRegularFileHandleWithoutLinks(const std::string&, int& error, int64_t& size)
{
    error = 0;
    size = -1;
    return InvalidFileHandle;
}

std::string ResolvedPathOfPath(const std::string& path)
{
    HANDLE file = openForLooking(path.empty() ? "." : path);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string resolved = finalPathOf(file);
    ::CloseHandle(file);
    return resolved;
}

std::string ResolvedPathOf(TFileHandle file, const std::string&)
{
    return finalPathOf(handleOf(file));
}

TFileHandle OpenFileHandle(const std::string& path, TFileMode mode, int& error)
{
    const std::wstring wide = WideOf(path);
    if (isReservedName(wide)) {
        error = ERROR_FILE_NOT_FOUND;
        return InvalidFileHandle;
    }
    HANDLE file = ::CreateFileW(wide.c_str(), accessOf(mode), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, dispositionOf(mode), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return InvalidFileHandle;
    }
    error = 0;
    return reinterpret_cast<TFileHandle>(file);
}

void CloseFileHandle(TFileHandle file)
{
    ::CloseHandle(handleOf(file));
}

int64_t ReadFromFile(TFileHandle file, void* buffer, size_t count)
{
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    if (!::ReadFile(handleOf(file), buffer, wanted, &got, nullptr))
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got;
}

int64_t WriteToFile(TFileHandle file, const void* buffer, size_t count)
{
    DWORD put = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    return ::WriteFile(handleOf(file), buffer, wanted, &put, nullptr) ? static_cast<int64_t>(put) : -1;
}

int64_t SeekInFile(TFileHandle file, int64_t offset, TFileOrigin origin)
{
    const DWORD method = origin == TFileOrigin::Beginning ? FILE_BEGIN
        : origin == TFileOrigin::Current                  ? FILE_CURRENT
                                                          : FILE_END;
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    return ::SetFilePointerEx(handleOf(file), distance, &position, method) ? position.QuadPart : -1;
}

int FlushToDisk(TFileHandle file)
{
    return ::FlushFileBuffers(handleOf(file)) ? 0 : static_cast<int>(::GetLastError());
}

TFileStatus StatusOfFile(TFileHandle file)
{
    if (::GetFileType(handleOf(file)) != FILE_TYPE_DISK)
        return {TFileKind::Other, 0};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handleOf(file), &info))
        return {};
    return statusOf(info.dwFileAttributes, joined(info.nFileSizeHigh, info.nFileSizeLow), info.ftLastWriteTime,
                    joined(info.nFileIndexHigh, info.nFileIndexLow));
}

TFileStatus StatusOfPath(const std::string& path)
{
    const std::wstring wide = WideOf(path);
    if (isReservedName(wide))
        return {};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        return {};
    // A link is followed, as a POSIX stat does: the answer is the target's.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        int error = 0;
        const TFileHandle file = OpenFileHandle(path, TFileMode::Read, error);
        if (file == InvalidFileHandle)
            return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? TFileStatus{TFileKind::Folder, 0}
                                                                      : TFileStatus{};
        const TFileStatus status = StatusOfFile(file);
        CloseFileHandle(file);
        return status;
    }
    return statusOf(data.dwFileAttributes, joined(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime, 0);
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder)
{
    std::wstring pattern = WideOf(folder.empty() ? "." : folder);
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry{};
    HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional<std::vector<std::string>>(std::in_place)
                                                        : std::nullopt;
    std::vector<std::string> names;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Utf8OfWide(name));
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return names;
}

std::string NamesAsOnDisk(const std::string& path, size_t count)
{
    const std::string onDisk = ResolvedPathOfPath(path);
    if (onDisk.empty())
        return path;
    // The last count names of the resolved path take the place of the last count names of the path.
    size_t diskStart = onDisk.size(), pathStart = path.size();
    for (size_t part = 0; part < count; ++part) {
        diskStart = onDisk.find_last_of('/', diskStart == 0 ? 0 : diskStart - 1);
        do
            --pathStart;
        while (pathStart > 0 && !IsPathSeparator(path[pathStart - 1]));
        if (diskStart == std::string::npos || pathStart == 0)
            return path;
    }
    return path.substr(0, pathStart) + onDisk.substr(diskStart + 1);
}

// Windows refuses to replace a file that someone has open, even one who allows its deletion: a
// reader of the old file holds the new one back for the moment of its read, never for good.
int MoveReplacing(const std::string& from, const std::string& to)
{
    const std::wstring source = WideOf(from), target = WideOf(to);
    for (DWORD waited = 0;; waited += ReplaceRetryPauseMs) {
        if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || waited >= ReplaceRetryWaitMs)
            return static_cast<int>(error);
        ::Sleep(ReplaceRetryPauseMs);
    }
}

int DeletePath(const std::string& path)
{
    return ::DeleteFileW(WideOf(path).c_str()) ? 0 : static_cast<int>(::GetLastError());
}

int LastSystemError()
{
    return static_cast<int>(::GetLastError());
}

void SetLastSystemError(int error)
{
    ::SetLastError(static_cast<DWORD>(error));
}

std::string SystemErrorText(int error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0)
        return "System error " + std::to_string(error);
    std::wstring message(text, length);
    ::LocalFree(text);
    // The system's texts end in a line break, which a log line or message box must not carry.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return Utf8OfWide(message);
}

bool IsPathSeparator(char c)
{
    return c == '/' || c == '\\' || c == ':';
}

bool IsAbsolutePath(const std::string& path)
{
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/');
    return drive || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

}  // namespace velmora
