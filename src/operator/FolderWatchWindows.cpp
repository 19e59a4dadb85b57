#include <windows.h>

#include <map>

#include "base/Utf16.h"
#include "operator/FolderWatch.h"

namespace velmora {

namespace {

// Names made, removed or renamed, and files written or resized.
constexpr DWORD WatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

// One folder's handle with its request for changes always pending, checked without waiting.
class TFolder {
public:
    explicit TFolder(HANDLE handle) : m_handle(handle)
    {
        m_overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~TFolder()
    {
        ::CancelIoEx(m_handle, &m_overlapped);
        DWORD ignored = 0;
        ::GetOverlappedResult(m_handle, &m_overlapped, &ignored, TRUE);
        ::CloseHandle(m_handle);
        if (m_overlapped.hEvent)
            ::CloseHandle(m_overlapped.hEvent);
    }
    TFolder(const TFolder&) = delete;
    TFolder& operator=(const TFolder&) = delete;

    bool Request()
    {
        return ::ReadDirectoryChangesW(m_handle, m_buffer, sizeof m_buffer, FALSE, WatchedChanges, nullptr,
                                       &m_overlapped, nullptr) != 0;
    }

    // What arrived since the last look, with this folder's watch; false once the folder is gone.
    bool Collect(int watch, std::vector<TFolderChange>& changes)
    {
        DWORD bytes = 0;
        if (!::GetOverlappedResult(m_handle, &m_overlapped, &bytes, FALSE)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                return true;
            if (error == ERROR_NOTIFY_ENUM_DIR) {
                changes.push_back({TFolderChange::TKind::Overflow, watch, {}});
                return Request();
            }
            return false;
        }
        if (bytes == 0)
            changes.push_back({TFolderChange::TKind::Overflow, watch, {}});
        for (DWORD at = 0; bytes > 0;) {
            const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(m_buffer + at);
            const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            changes.push_back({TFolderChange::TKind::File, watch, Utf8OfWide(name)});
            if (entry->NextEntryOffset == 0)
                break;
            at += entry->NextEntryOffset;
        }
        return Request();
    }

private:
    HANDLE m_handle;
    OVERLAPPED m_overlapped{};
    alignas(DWORD) char m_buffer[16384];
};

class TDirectoryChangesWatch : public TFolderWatch {
public:
    int Add(const std::string& folder) override
    {
        HANDLE handle = ::CreateFileW(WideOf(folder).c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return -1;
        auto watched = std::make_unique<TFolder>(handle);
        if (!watched->Request())
            return -1;
        const int watch = m_next++;
        m_folders.emplace(watch, std::move(watched));
        return watch;
    }

    std::vector<TFolderChange> Read() override
    {
        std::vector<TFolderChange> changes;
        for (auto folder = m_folders.begin(); folder != m_folders.end();) {
            if (folder->second->Collect(folder->first, changes)) {
                ++folder;
                continue;
            }
            changes.push_back({TFolderChange::TKind::FolderGone, folder->first, {}});
            folder = m_folders.erase(folder);
        }
        return changes;
    }

private:
    std::map<int, std::unique_ptr<TFolder>> m_folders;
    int m_next = 1;
};

}  // namespace

std::unique_ptr<TFolderWatch> NewFolderWatch()
{
    return std::make_unique<TDirectoryChangesWatch>();
}

}  // namespace velmora
