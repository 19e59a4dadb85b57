#include "operator/SaveWatcher.h"

#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "base/StrUtils.h"

namespace velmora {

namespace {

// Writes that end, saves that replace a file by renaming another onto it, removals; and the
// folder itself going away, after which it is watched again once it is back.
constexpr uint32_t WatchedEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

int64_t nanoseconds(const timespec& time)
{
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

TSaveWatcher::TSaveWatcher(const TClock& clock) : m_clock(clock)
{
}

TSaveWatcher::~TSaveWatcher()
{
    Stop();
}

void TSaveWatcher::Stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_files.clear();
    m_looks.clear();
    m_folders.clear();
    m_folderOfWatch.clear();
    m_pending = m_rewatch = false;
}

TSaveWatcher::Look TSaveWatcher::lookAt(const std::string& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return {};
    return {static_cast<uint64_t>(info.st_size), static_cast<uint64_t>(info.st_ino), nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim)};
}

bool TSaveWatcher::Watch(const std::vector<std::string>& files)
{
    std::map<std::string, Look> before = std::exchange(m_looks, {});
    Stop();
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    for (const std::string& file : files) {
        const std::string folder = folderOf(file);
        if (m_folders.size() >= MaxWatchedFolders && !m_folders.count(folder))
            continue;
        m_folders.insert(folder);
        m_files.insert(LowerCase(file));
        auto known = before.find(file);
        m_looks[file] = known != before.end() ? known->second : lookAt(file);
    }
    // Between the last look and this watch nothing was listening.
    if (addFolderWatches() && lookAgain())
        changed(m_clock.now());
    return true;
}

bool TSaveWatcher::lookAgain()
{
    bool differs = false;
    for (auto& [file, look] : m_looks) {
        const Look now = lookAt(file);
        differs = differs || now != look;
        look = now;
    }
    return differs;
}

bool TSaveWatcher::addFolderWatches()
{
    m_rewatch = false;
    bool armed = false;
    std::set<std::string> watched;
    for (const auto& [watch, folder] : m_folderOfWatch)
        watched.insert(folder);
    for (const std::string& folder : m_folders) {
        if (watched.count(folder))
            continue;
        int watch = ::inotify_add_watch(m_fd, folder.c_str(), WatchedEvents);
        if (watch >= 0)
            m_folderOfWatch[watch] = folder;
        else
            m_rewatch = true;
        armed = armed || watch >= 0;
    }
    return armed;
}

bool TSaveWatcher::Poll()
{
    if (m_fd < 0)
        return false;
    const TClock::time_point now = m_clock.now();
    readEvents(now);
    // A folder made again may already hold a save: its watch came after it.
    if (m_rewatch && addFolderWatches() && lookAgain())
        changed(now);
    if (!m_pending || now - m_lastChange < SaveQuietTime)
        return false;
    m_pending = false;
    // What the publish that follows reads is what later changes are measured against.
    lookAgain();
    return true;
}

void TSaveWatcher::changed(TClock::time_point now)
{
    m_pending = true;
    m_lastChange = now;
}

void TSaveWatcher::readEvents(TClock::time_point now)
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed(now);
                continue;
            }
            auto folder = m_folderOfWatch.find(event->wd);
            if (folder == m_folderOfWatch.end())
                continue;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // The folder is gone or moved: what it held changed, and its new self is watched
                // once it exists.
                if (!(event->mask & IN_IGNORED))
                    ::inotify_rm_watch(m_fd, event->wd);
                m_folderOfWatch.erase(folder);
                m_rewatch = true;
                changed(now);
                continue;
            }
            if (event->len > 0 && m_files.count(LowerCase(folder->second + "/" + event->name)))
                changed(now);
        }
    }
}

}  // namespace velmora
