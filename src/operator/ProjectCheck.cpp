#include "operator/ProjectCheck.h"

#include <algorithm>

#include "base/FileSystem.h"
#include "base/Exception.h"
#include "handlers/ProjectFiles.h"
#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

// The last count segments (all of them when count is larger), joined by "/".
std::string joinedTail(const std::vector<std::string>& segments, size_t count)
{
    std::string text;
    for (size_t i = segments.size() - std::min(count, segments.size()); i < segments.size(); ++i)
        text += (text.empty() ? "" : "/") + segments[i];
    return text;
}

std::string withSeparator(std::string folder)
{
    if (!folder.empty() && !IsPathSeparator(folder.back()))
        folder += '/';
    return folder;
}

uint64_t fileSize(const std::string& path)
{
    const TFileStatus status = StatusOfPath(path);
    return status.Kind == TFileKind::Missing ? 0 : static_cast<uint64_t>(status.Size);
}

// The name on disk when the file was found only by ignoring letter case: the part that
// corresponds to the listed name, or the whole path below the folder when the difference lies in
// a folder above it. Answers empty when the names agree.
std::string nameOnDisk(const std::string& folder, const std::string& found, const TManifestEntry& entry)
{
    const std::vector<std::string> asked = RequestPathSegments(entry.RequestPath);
    const std::vector<std::string> onDisk =
        RequestPathSegments(found.rfind(folder, 0) == 0 ? std::string_view(found).substr(folder.size()) : found);
    if (asked == onDisk)
        return {};
    const size_t nameSegments = RequestPathSegments(entry.Name).size();
    std::string tail = joinedTail(onDisk, nameSegments);
    if (asked.size() == onDisk.size() && tail != joinedTail(asked, nameSegments))
        return tail;
    return joinedTail(onDisk, onDisk.size());
}

}  // namespace

TProjectCheck CheckProject(const std::string& projectFolder, const TManifestIndex& index)
{
    const std::string folder = withSeparator(projectFolder);
    TProjectCheck check;
    check.Files = index.size();
    for (const TManifestEntry& entry : index.Entries()) {
        std::optional<std::string> found = FindProjectFile(folder, entry.RequestPath);
        if (!found) {
            check.Problems.push_back({TProjectProblem::TKind::Missing, entry.Name, {}});
            if (IsPathInsideFolder(entry.RequestPath)) {
                const std::vector<std::string> segments = RequestPathSegments(entry.RequestPath);
                check.Expected.push_back(folder + joinedTail(segments, segments.size()));
            }
            continue;
        }
        check.Bytes += fileSize(*found);
        check.Found.push_back(*found);
        std::string differs = nameOnDisk(folder, *found, entry);
        if (!differs.empty())
            check.Problems.push_back({TProjectProblem::TKind::CaseDiffers, entry.Name, std::move(differs)});
    }
    return check;
}

std::vector<std::string> ProjectCheckLines(const TProjectCheck& check)
{
    std::vector<std::string> lines{
        FormatMessage(SVerificacaoDoProjeto, {std::to_string(check.Files), FormatSize(check.Bytes)})};
    for (const TProjectProblem& problem : check.Problems) {
        if (problem.Kind == TProjectProblem::TKind::Missing)
            lines.push_back(FormatMessage(SArquivoAusente, {problem.Name}));
        else
            lines.push_back(FormatMessage(SDiferencaDeMaiusculas, {problem.Name, problem.OnDisk}));
    }
    return lines;
}

}  // namespace velmora
