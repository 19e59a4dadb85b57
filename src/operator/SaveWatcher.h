#pragma once
// Notices when the project's files are saved: the system's watch of the folders that hold them,
// read without waiting on the main thread's tick, and a quiet second after the last change before
// it reports, so that an editor's burst of writes or an export of many files publishes once.
// Whenever it arms a watch it looks at the files again, so that a save made while no watch was
// armed is not lost.

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/FileSystem.h"
#include "operator/FolderWatch.h"
#include "operator/Limits.h"

namespace velmora {

inline constexpr std::chrono::milliseconds SaveQuietTime{1000};

class TSaveWatcher {
public:
    explicit TSaveWatcher(const TClock& clock = TClock::system());
    ~TSaveWatcher();
    TSaveWatcher(const TSaveWatcher&) = delete;
    TSaveWatcher& operator=(const TSaveWatcher&) = delete;

    // Follows these files from now on, in place of the ones before; a file may not exist yet.
    // A file followed before that changed since the last report (or the watch, when there was no
    // report) counts as a change: the publish that calls this may have read it before the save.
    // Folders beyond MaxWatchedFolders are not followed. Answers false when the system offers
    // no watch at all.
    bool Watch(const std::vector<std::string>& files);
    // Follows nothing.
    void Stop();
    bool Watching() const { return m_watch != nullptr; }

    // Reads what the system reported; answers true, once, when a followed file changed and
    // SaveQuietTime has passed since the last change.
    bool Poll();
    // Whether a change has been read that waits for its quiet second.
    bool Pending() const { return m_pending; }

private:
    void readEvents(TClock::time_point now);
    // Answers whether it armed a watch that was missing.
    bool addFolderWatches();
    // Looks at every followed file again; answers whether one looks otherwise than before.
    bool lookAgain();
    void changed(TClock::time_point now);

    const TClock& m_clock;
    std::unique_ptr<TFolderWatch> m_watch;
    // Names compared with letter case ignored, as the project's lookup finds them.
    std::set<std::string> m_files;
    // Each followed file's look at the last report or watch (a missing file's is all zeros), by its
    // name as given.
    std::map<std::string, TFileStatus> m_looks;
    std::set<std::string> m_folders;
    std::map<int, std::string> m_folderOfWatch;
    bool m_pending = false;
    bool m_rewatch = false;
    TClock::time_point m_lastChange{};
};

}  // namespace velmora
