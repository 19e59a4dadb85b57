#pragma once
// Builds "arquivos.xml", the list of files the phone app fetches: the screen file first, then
// every image that the windows, buttons and feedback buttons name, each with its full URL.

#include <string>

#include "base/Stream.h"
#include "screen/Types_Velm.h"

namespace velmora {

// The request path that names the manifest, and its file name in the project folder.
inline constexpr const char ManifestPath[] = "/arquivos.xml";
inline constexpr const char* ManifestFileName = ManifestPath + 1;

// The URL prefixes of the moment of the call; both may be empty when no address was found.
struct TManifestUrls {
    std::string ServerUrl;  // "http://" + address + "/"
    std::string ImagesUrl;  // ServerUrl + "Images/"
};

// Serialises the manifest of the model into the stream at its current position.
void WriteManifestToStream(const TMenu_Geral& menus, const TManifestUrls& urls, TStream& stream);

// Replaces the file at path with the manifest as one step: a reader sees the whole old file or
// the whole new one. Throws EFCreateError for the path and leaves no temporary file behind.
void WriteManifest(const TMenu_Geral& menus, const TManifestUrls& urls, const std::string& path);

}  // namespace velmora
