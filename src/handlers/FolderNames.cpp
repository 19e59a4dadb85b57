#include "handlers/FolderNames.h"

#include <vector>

#include "handlers/Limits.h"
#include "unicode/NameMatch.h"

namespace velmora {

namespace {

std::string inFolder(const std::string& folder, const std::string& name)
{
    return folder.empty() || IsPathSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

// The folder's time and identity, not its size: some systems count a folder's size in blocks, and
// a time that did not move is what the fresh read of a missing name is there for.
bool unchanged(const TFileStatus& kept, const TFileStatus& now)
{
    return kept.Modified == now.Modified && kept.Identity == now.Identity;
}

}  // namespace

std::optional<TFolderNames::Folder> TFolderNames::read(const std::string& folder, const TFileStatus& status)
{
    const std::optional<std::vector<std::string>> names = ListFolder(folder);
    if (!names)
        return std::nullopt;
    Folder read{status, {}};
    for (const std::string& name : *names) {
        auto [entry, added] = read.byKey.try_emplace(unicode::NameMatchKey(name), name);
        // The smallest of names alike, so that the answer does not depend on the folder's order.
        if (!added && name < entry->second)
            entry->second = name;
    }
    return read;
}

std::optional<std::string> TFolderNames::lookUp(const std::string& folder, const std::u32string& key,
                                                const TFileStatus& status)
{
    std::lock_guard lock(m_foldersMutex);
    auto kept = m_folders.find(folder);
    if (kept == m_folders.end() || !unchanged(kept->second.status, status))
        return std::nullopt;
    auto found = kept->second.byKey.find(key);
    return found == kept->second.byKey.end() ? std::nullopt : std::optional(found->second);
}

void TFolderNames::keep(const std::string& folder, Folder read)
{
    std::lock_guard lock(m_foldersMutex);
    // Requests choose which folders are asked for: past the bound, what was kept is read afresh.
    if (m_folders.size() >= MaxFoldersIndexed && m_folders.find(folder) == m_folders.end())
        m_folders.clear();
    m_folders.insert_or_assign(folder, std::move(read));
}

std::optional<std::string> TFolderNames::Alike(const std::string& folder, const std::string& name)
{
    const TFileStatus status = StatusOfPath(folder);
    if (status.Kind != TFileKind::Folder)
        return std::nullopt;
    const std::u32string key = unicode::NameMatchKey(name);
    if (std::optional<std::string> kept = lookUp(folder, key, status);
        kept && StatusOfPath(inFolder(folder, *kept)).Kind != TFileKind::Missing)
        return kept;
    std::optional<Folder> fresh = read(folder, status);
    if (!fresh)
        return std::nullopt;
    auto found = fresh->byKey.find(key);
    std::optional<std::string> answer = found == fresh->byKey.end() ? std::nullopt : std::optional(found->second);
    keep(folder, std::move(*fresh));
    return answer;
}

}  // namespace velmora
