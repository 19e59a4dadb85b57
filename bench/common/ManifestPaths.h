#pragma once
// What a benchmark client reads from a manifest: the path of every file it lists, as a phone
// would request it from the server under test.

#include <string>
#include <vector>

namespace velmora::bench {

// The path part of every arquivo_caminho, without the scheme, host and port.
inline std::vector<std::string> listedPaths(const std::string& manifest)
{
    std::vector<std::string> paths;
    const std::string key = "arquivo_caminho=\"";
    for (size_t at = manifest.find(key); at != std::string::npos; at = manifest.find(key, at)) {
        at += key.size();
        std::string url = manifest.substr(at, manifest.find('"', at) - at);
        size_t host = url.find("://");
        size_t path = host == std::string::npos ? 0 : url.find('/', host + 3);
        paths.push_back(path == std::string::npos ? "/" : url.substr(path));
    }
    return paths;
}

}  // namespace velmora::bench
