#pragma once
// The check of a project before it is served: every file the manifest lists is looked up in the
// project folder as a request for it would be, and what is missing or found only by ignoring
// letter case is reported.

#include <cstdint>
#include <string>
#include <vector>

#include "operator/ManifestIndex.h"

namespace velmora {

struct TProjectProblem {
    enum class TKind { Missing, CaseDiffers };
    TKind Kind = TKind::Missing;
    std::string Name;  // as the manifest lists it
    std::string OnDisk;  // for CaseDiffers: the name the file has on disk
};

struct TProjectCheck {
    size_t Files = 0;  // distinct files listed
    uint64_t Bytes = 0;  // their size, of those found
    std::vector<TProjectProblem> Problems;
    // The paths of the files found, and where the missing ones were expected.
    std::vector<std::string> Found;
    std::vector<std::string> Expected;
};

// Looks up every entry of the index in the folder (with its trailing separator).
TProjectCheck CheckProject(const std::string& projectFolder, const TManifestIndex& index);

// The log's lines: the summary, then one line per problem.
std::vector<std::string> ProjectCheckLines(const TProjectCheck& check);

}  // namespace velmora
