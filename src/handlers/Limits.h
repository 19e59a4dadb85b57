#pragma once
// The bound of the request handlers that a client can push against. Tested at the limit and one
// past it.

#include <cstddef>

namespace velmora {

// Bytes of a request path that a log line shows; a longer one is cut on a character boundary and
// ends in "…", the whole within the bound.
inline constexpr size_t MaxLoggedPathBytes = 512;

// Folders whose names are kept for look-ups ignoring letter case; past it, every folder is read
// afresh on its next look-up.
inline constexpr size_t MaxFoldersIndexed = 256;

}  // namespace velmora
