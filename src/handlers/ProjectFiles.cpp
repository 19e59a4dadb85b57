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

// The folder ending in a separator, with room for room more bytes.
std::string withSeparator(const std::string& folder, size_t room = 0)
{
    std::string path;
    path.reserve(folder.size() + 1 + room);
    path = folder;
    if (!path.empty() && !IsPathSeparator(path.back()))
        path += '/';
    return path;
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

// Calls visit with each name of the request path, in order; separators of either kind, doubled or
// not, only divide names.
template <class Visit>
void forEachSegment(std::string_view requestPath, Visit visit)
{
    size_t start = 0;
    for (size_t i = 0; i <= requestPath.size(); ++i) {
        if (i < requestPath.size() && requestPath[i] != '/' && requestPath[i] != '\\')
            continue;
        if (i > start)
            visit(requestPath.substr(start, i - start));
        start = i + 1;
    }
}

// The path as the request names it below the folder, with one "/" between names: what the file
// system finds when names match exactly.
std::string exactPath(const std::string& projectFolder, std::string_view requestPath)
{
    std::string exact = withSeparator(projectFolder, requestPath.size());
    const size_t folderEnd = exact.size();
    forEachSegment(requestPath, [&](std::string_view segment) {
        if (exact.size() > folderEnd)
            exact += '/';
        exact += segment;
    });
    return exact;
}

bool mayNameAFile(const std::string& requestPath)
{
    return IsPathInsideFolder(requestPath) && !namesAFolder(requestPath);
}

}  // namespace

std::vector<std::string> RequestPathSegments(std::string_view requestPath)
{
    std::vector<std::string> segments;
    forEachSegment(requestPath, [&](std::string_view segment) { segments.emplace_back(segment); });
    return segments;
}

bool IsPathInsideFolder(const std::string& requestPath)
{
    if (requestPath.find('\0') != std::string::npos)
        return false;
    bool inside = true;
    forEachSegment(requestPath, [&](std::string_view segment) { inside = inside && segment != ".."; });
    return inside;
}

std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath,
                                           TFolderNames& names)
{
    if (!mayNameAFile(requestPath))
        return std::nullopt;
    const std::vector<std::string> segments = RequestPathSegments(requestPath);
    const std::string exact = exactPath(projectFolder, requestPath);
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
    if (!mayNameAFile(requestPath))
        return nullptr;
    // A phone asks for names as the manifest spells them, which are the names on disk: opening the
    // path as given spares looking first. Opened through no link, from the folder down names that
    // hold no "..", the file is inside the folder without asking the system where it really is.
    const std::string exact = exactPath(projectFolder, requestPath);
    int error = 0;
    if (std::unique_ptr<TFileStream> file = TFileStream::TryOpenRegularFileWithoutLinks(exact, error))
        return file;
    std::unique_ptr<TFileStream> file;
    // Any other case goes the long way, which also tells why a file that is there cannot be opened.
    if (error == 0)
        file = TFileStream::TryOpenRegularFile(exact);
    if (!file) {
        std::optional<std::string> path = FindProjectFile(projectFolder, requestPath, names);
        if (!path)
            return nullptr;
        file = TFileStream::OpenRegularFile(*path);
    }
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
