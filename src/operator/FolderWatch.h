#pragma once
// The system's notice of changes in folders, read without waiting: inotify on POSIX systems
// (FolderWatchPosix.cpp), ReadDirectoryChangesW on Windows (FolderWatchWindows.cpp). The save
// watcher decides what the changes mean.

#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct TFolderChange {
    enum class TKind {
        // A file in the folder was written, replaced, renamed or removed.
        File,
        // The folder itself went away or moved; its watch has ended.
        FolderGone,
        // The system lost changes: any file may have changed.
        Overflow,
    };
    TKind Kind = TKind::File;
    int Watch = -1;
    std::string Name;  // for File: the file's name in the folder
};

class TFolderWatch {
public:
    virtual ~TFolderWatch() = default;
    // A watch of the folder, or -1 when it cannot be watched now (it may not exist yet).
    virtual int Add(const std::string& folder) = 0;
    // The changes reported since the last call; never waits.
    virtual std::vector<TFolderChange> Read() = 0;
};

// None when the system offers no watch at all.
std::unique_ptr<TFolderWatch> NewFolderWatch();

}  // namespace velmora
