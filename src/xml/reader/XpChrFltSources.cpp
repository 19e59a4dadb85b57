// The sources of the character input: a source name resolved to a location against the source
// that named it, and opened as a local file or fetched from a remote one.
#include "xml/reader/XpChrFlt.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include "base/FileSystem.h"
#include "xml/reader/XpExcept.h"
#include "xml/reader/XpInet.h"

namespace velmora {

namespace {

bool startsWithNoCase(const std::string& text, const char* prefix)
{
    size_t n = std::strlen(prefix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

bool hasDriveLetter(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// A path that only Windows can open: on a drive ("C:\\dir\\x.dtd", "c:/x.dtd"), on a share
// ("\\\\server\\x.dtd") or at the root of the current drive ("\\x.dtd").
bool isWindowsAbsolute(const std::string& path)
{
    return hasDriveLetter(path) || (!path.empty() && path[0] == '\\');
}

void splitAtLastSlash(TXpDirContext& loc, const std::string& path, const TXpDirContext* parent)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        loc.Directory = parent ? parent->Directory : std::string();
        loc.FileName = path;
    } else {
        loc.Directory = path.substr(0, slash + 1);
        loc.FileName = path.substr(slash + 1);
    }
}

}  // namespace

TXpDirContext TXpDirContext::Resolve(const TXpDirContext* parent, const std::string& name)
{
    TXpDirContext loc;
    for (auto [prefix, kind] : {std::pair{"http://", TXpDirKind::Http}, std::pair{"ftp://", TXpDirKind::Ftp}}) {
        if (startsWithNoCase(name, prefix)) {
            loc.Kind = kind;
            splitAtLastSlash(loc, name.substr(std::strlen(prefix)), parent && parent->Kind == kind ? parent : nullptr);
            return loc;
        }
    }
    bool fileScheme = startsWithNoCase(name, "file://");
    std::string path = fileScheme ? name.substr(7) : name;
    if (fileScheme && !path.empty() && path[0] == '/' && hasDriveLetter(path.substr(1)))
        path.erase(0, 1);  // file:///C:/dir/name
    if (parent && parent->IsRemote()) {
        if (fileScheme || hasDriveLetter(path))
            throw EXpException(FormatMessage(SCannotMixPaths, {XpQuoted(FromUtf8(name)), parent->Directory}));
        std::replace(path.begin(), path.end(), '\\', '/');
        loc.Kind = parent->Kind;
        if (!path.empty() && path[0] == '/') {
            // Host-relative: the parent's host stays.
            std::string host = parent->Directory.substr(0, parent->Directory.find('/'));
            splitAtLastSlash(loc, host + path, parent);
        } else {
            splitAtLastSlash(loc, parent->Directory + path, parent);
        }
        return loc;
    }
    loc.Kind = TXpDirKind::Local;
    if (isWindowsAbsolute(path) && !IsAbsolutePath(path)) {
        // A path on a Windows drive or share cannot exist here; the file of that name beside
        // the referencing document is the one the project carried along.
        size_t cut = path.find_last_of("\\/");
        path.erase(0, cut == std::string::npos ? 2 : cut + 1);
    }
    if (!IsAbsolutePath(path))
        path = (parent ? parent->Directory : CurrentFolder()) + path;
    std::replace(path.begin(), path.end(), '\\', '/');
    splitAtLastSlash(loc, path, parent);
    return loc;
}

std::unique_ptr<TXpInCharFilter> XpOpenSource(const TXpDirContext* parent, const std::string& name, size_t bufferSize,
                                              std::vector<std::string>& errors, const std::string& password,
                                              const std::string& userName, std::vector<std::string>& tempFiles)
{
    auto location = std::make_unique<TXpDirContext>(TXpDirContext::Resolve(parent, name));
    // A drive or share path of the machine the project was made on, missing on this one: the file
    // of that name beside the referencing document is the one the project carried along.
    const bool foreignPath = isWindowsAbsolute(name) || startsWithNoCase(name, "file:");
    if (!location->IsRemote() && parent && !parent->IsRemote() && foreignPath &&
        StatusOfPath(location->FullLocation()).Kind == TFileKind::Missing) {
        location->Directory = parent->Directory;
        location->Kind = parent->Kind;
    }
    std::string full = location->FullLocation();
    auto notFound = [&]() {
        errors.push_back(FormatMessage(SFileNotFound, {name}));
        return EXpParserError(FormatMessage(SFileNotFound, {"'" + full + "'"}), full, 0, 0);
    };
    std::unique_ptr<TStream> stream;
    if (location->IsRemote()) {
        stream = XpFetch(*location, userName, password, errors, tempFiles);
        if (!stream || stream->Size() == 0)
            throw notFound();
    } else {
        if (StatusOfPath(full).Kind != TFileKind::Regular)
            throw notFound();
        try {
            stream = std::make_unique<TXpFileStream>(full);
        } catch (const EFOpenError& e) {
            errors.push_back(e.Message());
            throw EXpParserError(e.Message(), full, 0, 0);
        }
    }
    return std::make_unique<TXpInCharFilter>(std::move(stream), bufferSize, std::move(location));
}

}  // namespace velmora
