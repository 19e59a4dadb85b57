#include "handlers/ProjectFiles.h"

#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

#include "unicode/NameMatch.h"

namespace velmora {

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The entry of the folder whose name equals the segment ignoring letter case and normalisation
// form; the smallest such name when several do, so that the answer does not depend on the order
// in which the folder lists them.
std::optional<std::string> findAlike(const std::string& folder, const std::string& segment)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return std::nullopt;
    const std::u32string key = unicode::NameMatchKey(segment);
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if ((!found || name < *found) && unicode::NameMatchKey(name) == key)
            found = std::string(name);
    }
    ::closedir(dir);
    return found;
}

std::string withSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
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
    std::error_code failed;
    std::string folder = std::filesystem::canonical(projectFolder.empty() ? "." : projectFolder, failed).string();
    if (failed || resolved.empty())
        return false;
    folder = withSeparator(folder);
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

std::optional<std::string> FindProjectFile(const std::string& projectFolder, const std::string& requestPath)
{
    if (!IsPathInsideFolder(requestPath) || namesAFolder(requestPath))
        return std::nullopt;
    const std::vector<std::string> segments = RequestPathSegments(requestPath);
    std::string exact = withSeparator(projectFolder);
    for (size_t i = 0; i < segments.size(); ++i)
        exact += (i ? "/" : "") + segments[i];
    if (isRegularFile(exact))
        return exact;

    std::string path = withSeparator(projectFolder);
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string candidate = path + segments[i];
        if (!exists(candidate)) {
            auto match = findAlike(path, segments[i]);
            if (!match)
                return std::nullopt;
            candidate = path + *match;
        }
        path = i + 1 < segments.size() ? candidate + "/" : candidate;
    }
    return !segments.empty() && isRegularFile(path) ? std::optional<std::string>(path) : std::nullopt;
}

std::unique_ptr<TFileStream> OpenProjectFile(const std::string& projectFolder, const std::string& requestPath)
{
    std::optional<std::string> path = FindProjectFile(projectFolder, requestPath);
    if (!path)
        return nullptr;
    std::unique_ptr<TFileStream> file = TFileStream::OpenRegularFile(*path);
    if (!file || !resolvesInside(file->ResolvedPath(), projectFolder))
        return nullptr;
    return file;
}

}  // namespace velmora
