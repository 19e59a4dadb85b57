#pragma once
// Finds the file that a request path names below the project folder. Projects are made on
// Windows and copied from Macs: "\" separates like "/", and a name whose letter case or Unicode
// normalisation form differs still finds its file.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Stream.h"
#include "handlers/FolderNames.h"

namespace velmora {

// The segments of a request path between "/" or "\" separators, empty ones left out.
std::vector<std::string> RequestPathSegments(std::string_view requestPath);

// Whether the path may name a file below the folder: no NUL byte and no ".." segment, with "\"
// read as "/".
bool IsPathInsideFolder(const std::string& requestPath);

// The file system path of the regular file that the request path names below the folder: the
// exact name when it exists, else each missing segment looked up ignoring letter case and
// normalisation form (NFC against NFD). Answers none for a path that climbs out of the folder or
// ends in a separator, a missing file, or anything that is not a regular file. Links are followed:
// only OpenProjectFile keeps to the folder. The folders' names come from names, which keeps them
// between calls; without it every folder is read afresh.
std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath,
                                           TFolderNames& names);
std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath);

// The file that FindProjectFile finds, opened, when it is still a regular file once open and its
// path with every link followed stays inside the folder's: a link (of a file or of a folder) that
// leads out of the project, as an archive from someone else may carry, finds nothing. Answers none
// in those cases; throws EFOpenError when the file cannot be opened.
std::unique_ptr<TFileStream> OpenProjectFile(const std::string& projectFolder, const std::string& requestPath,
                                             TFolderNames& names);
std::unique_ptr<TFileStream> OpenProjectFile(const std::string& projectFolder, const std::string& requestPath);

}  // namespace velmora
