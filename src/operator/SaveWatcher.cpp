#include "operator/SaveWatcher.h"

#include <utility>

#include "base/StrUtils.h"

namespace velmora {

namespace {

// The folder part of a path without its last separator ("/" stays "/"), "." for a bare name.
std::string folderOf(const std::string& path)
{
    size_t slash = path.size();
    while (slash > 0 && !IsPathSeparator(path[slash - 1]))
        --slash;
    if (slash == 0)
        return ".";
    return path.substr(0, slash == 1 ? 1 : slash - 1);
}

// How a file is known whatever the letter case and the separators its path was written with.
std::string fileKey(const std::string& path)
{
    std::string key = LowerCase(path);
    for (char& c : key)
        if (c != ':' && IsPathSeparator(c))
            c = '/';
    return key;
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
    m_watch.reset();
    m_files.clear();
    m_looks.clear();
    m_folders.clear();
    m_folderOfWatch.clear();
    m_pending = m_rewatch = false;
}

bool TSaveWatcher::Watch(const std::vector<std::string>& files)
{
    std::map<std::string, TFileStatus> before = std::exchange(m_looks, {});
    Stop();
    m_watch = NewFolderWatch();
    if (!m_watch)
        return false;
    for (const std::string& file : files) {
        const std::string folder = folderOf(file);
        if (m_folders.size() >= MaxWatchedFolders && !m_folders.count(folder))
            continue;
        m_folders.insert(folder);
        m_files.insert(fileKey(file));
        auto known = before.find(file);
        m_looks[file] = known != before.end() ? known->second : StatusOfPath(file);
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
        const TFileStatus now = StatusOfPath(file);
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
        const int watch = m_watch->Add(folder);
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
    if (!m_watch)
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
    for (const TFolderChange& change : m_watch->Read()) {
        if (change.Kind == TFolderChange::TKind::Overflow) {
            changed(now);
            continue;
        }
        auto folder = m_folderOfWatch.find(change.Watch);
        if (folder == m_folderOfWatch.end())
            continue;
        if (change.Kind == TFolderChange::TKind::FolderGone) {
            // The folder is gone or moved: what it held changed, and its new self is watched once
            // it exists.
            m_folderOfWatch.erase(folder);
            m_rewatch = true;
            changed(now);
            continue;
        }
        if (!change.Name.empty() && m_files.count(fileKey(folder->second + "/" + change.Name)))
            changed(now);
    }
}

}  // namespace velmora
