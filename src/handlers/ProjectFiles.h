#pragma once
// Finds the file that a request path names below the project folder. Projects are made on
// Windows and copied from Macs: "\" separates like "/", and a name whose letter case or Unicode
// normalisation form differs still finds its file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The segments of a request path between "/" or "\" separators, empty ones left out.
std::vector<std::string> RequestPathSegments(std::string_view requestPath);

// Whether the path may name a file below the folder: no NUL byte and no ".." segment, with "\"
// read as "/".
bool IsPathInsideFolder(const std::string& requestPath);

// The file system path of the regular file that the request path names below the folder: the
// exact name when it exists, else each missing segment looked up ignoring letter case and
// normalisation form (NFC against NFD). Answers none for a path that leaves the folder or ends in
// a separator, a missing file, or anything that is not a regular file.
std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath);

}  // namespace velmora
