#include "handlers/ProjectFiles.h"

#include <vector>

#include "base/FileSystem.h"

namespace velmora {

namespace {

bool isRegularFile(const std::string& path)
{
    return StatusOfPath(path).Kind == TFileKind::Regular;
}

bool exists(const std::string& path)
{
    return StatusOfPath(path).Kind != TFileKind::Missing;
}

std::string withSeparator(std::string folder)
{
    if (!folder.empty() && !IsPathSeparator(folder.back()))
        folder += '/';
    return folder;
}

// A path that ends in a separator names a folder, as the file system reads it, so it never finds a
// file ("/screen.xml/" is no screen file); doubled separators inside a path read as one, as they do
// when the path is joined to the folder.
bool namesAFolder(const std::string& requestPath)
{
    return !requestPath.empty() && (requestPath.back() == '/' || requestPath.back() == '\\');
}

// Whether the resolved path lies below the resolved folder; a folder that cannot be resolved holds
// nothing.
bool resolvesInside(const std::string& resolved, const std::string& projectFolder)
{
    // A resolved path holds no link, "." or "..": when the folder as given begins it, the folder
    // is one of the path's own folders, and resolving it too would find the same names.
    const std::string given = withSeparator(projectFolder);
    if (IsAbsolutePath(given) && resolved.compare(0, given.size(), given) == 0)
        return true;
    std::string folder = ResolvedPathOfPath(projectFolder);
    if (folder.empty() || resolved.empty())
        return false;
    if (folder.back() != '/')
        folder += '/';
    return resolved.compare(0, folder.size(), folder) == 0;
}

}  // namespace

std::vector<std::string> RequestPathSegments(std::string_view requestPath)
{
    std::vector<std::string> segments(1);
    for (char c : requestPath) {
        if (c != '/' && c != '\\')
            segments.back() += c;
        else if (!segments.back().empty())
            segments.emplace_back();
    }
    if (segments.back().empty())
        segments.pop_back();
    return segments;
}

bool IsPathInsideFolder(const std::string& requestPath)
{
    if (requestPath.find('\0') != std::string::npos)
        return false;
    for (const auto& segment : RequestPathSegments(requestPath))
        if (segment == "..")
            return false;
    return true;
}

std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath,
                                           TFolderNames& names)
{
    if (!IsPathInsideFolder(requestPath) || namesAFolder(requestPath))
        return std::nullopt;
    const std::vector<std::string> segments = RequestPathSegments(requestPath);
    std::string exact = withSeparator(projectFolder);
    for (size_t i = 0; i < segments.size(); ++i)
        exact += (i ? "/" : "") + segments[i];
    if (isRegularFile(exact))
        return NamesAsOnDisk(exact, segments.size());

    std::string path = withSeparator(projectFolder);
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string candidate = path + segments[i];
        if (!exists(candidate)) {
            auto match = names.Alike(path, segments[i]);
            if (!match)
                return std::nullopt;
            candidate = path + *match;
        }
        path = i + 1 < segments.size() ? candidate + "/" : candidate;
    }
    if (segments.empty() || !isRegularFile(path))
        return std::nullopt;
    return NamesAsOnDisk(path, segments.size());
}

std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath)
{
    TFolderNames names;
    return FindProjectFile(projectFolder, requestPath, names);
}

std::unique_ptr<TFileStream> OpenProjectFile(const std::string& projectFolder, const std::string& requestPath,
                                             TFolderNames& names)
{
    std::optional<std::string> path = FindProjectFile(projectFolder, requestPath, names);
    if (!path)
        return nullptr;
    std::unique_ptr<TFileStream> file = TFileStream::OpenRegularFile(*path);
    if (!file || !resolvesInside(file->ResolvedPath(), projectFolder))
        return nullptr;
    return file;
}

std::unique_ptr<TFileStream> OpenProjectFile(const std::string& projectFolder, const std::string& requestPath)
{
    TFolderNames names;
    return OpenProjectFile(projectFolder, requestPath, names);
}

}  // namespace velmora
