#pragma once
// The files a manifest lists, as the server will be asked for them: each entry's name, its URL and
// the request path that the URL becomes, looked up by a key that ignores letter case and the kind
// of separator, as the project folder's lookup does.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Exception.h"

namespace velmora {

class EManifestUnreadable : public Exception {
public:
    using Exception::Exception;
};

// The lookup key of a request path: its segments between "/" or "\" separators (empty ones left
// out), ASCII letters lowered, joined by "/".
std::string RequestPathKey(std::string_view requestPath);

struct TManifestEntry {
    std::string Name;  // "arquivo_nome"
    std::string Url;  // "arquivo_caminho"
    std::string RequestPath;  // the decoded path that a request for the URL carries
};

class TManifestIndex {
public:
    TManifestIndex() = default;
    // Keeps the first of entries whose request paths name the same file.
    explicit TManifestIndex(const std::vector<TManifestEntry>& listed);

    // The distinct entries in the manifest's order.
    const std::vector<TManifestEntry>& Entries() const { return m_entries; }
    size_t size() const { return m_entries.size(); }
    // The entry that a request path names; none for a path the manifest does not list.
    std::optional<size_t> Find(std::string_view requestPath) const { return FindKey(RequestPathKey(requestPath)); }
    // The same for a path's key.
    std::optional<size_t> FindKey(const std::string& key) const;

private:
    std::vector<TManifestEntry> m_entries;
    std::unordered_map<std::string, size_t> m_byKey;
};

// The path that the server decodes from a request for the URL: what follows the scheme and
// authority, or the bare name under "/" for a URL without a host.
std::string RequestPathOf(const std::string& url);

// Whether the request path asks for the manifest: "/" or the manifest's name in the folder itself. The
// second form takes the path's key as already made.
bool IsManifestRequest(std::string_view requestPath);
bool IsManifestRequest(std::string_view requestPath, std::string_view key);

// The entries of a manifest, in its order. Raises EManifestUnreadable with the reader's reason when
// the bytes are not a well-formed document.
std::vector<TManifestEntry> ReadManifestEntries(const std::string& bytes);

}  // namespace velmora
