#pragma once
// The names of the project's folders, matched ignoring letter case and normalisation form, read
// once per folder and kept while the folder's modification time stays: a phone's request for a
// name spelled otherwise than on disk no longer reads and folds a whole folder. Only names are
// kept; whoever opens what a name leads to still checks it. Any thread.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "base/FileSystem.h"

namespace velmora {

class TFolderNames {
public:
    // The folder's entry whose name equals the name ignoring letter case and normalisation form;
    // the smallest such name when several do. A name missing from what was read before, or one no
    // longer there, reads the folder again first: a file system that keeps times in 2-second steps
    // shows no change for a file added within the step. Answers none when nothing matches or the
    // folder cannot be read.
    std::optional<std::string> Alike(const std::string& folder, const std::string& name);

private:
    struct Folder {
        TFileStatus status;
        // Each name's match key to the smallest name on disk that has it.
        std::unordered_map<std::u32string, std::string> byKey;
    };

    // Answers none when the folder cannot be read.
    static std::optional<Folder> read(const std::string& folder, const TFileStatus& status);
    std::optional<std::string> lookUp(const std::string& folder, const std::u32string& key, const TFileStatus& status);
    void keep(const std::string& folder, Folder read);

    // Guards m_folders; held for look-ups only, never while reading a folder.
    std::mutex m_foldersMutex;
    std::unordered_map<std::string, Folder> m_folders;
};

}  // namespace velmora
