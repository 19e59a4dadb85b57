#pragma once
// Every quantity that a client or an input file can drive, bounded in one place: each line says
// what it bounds.

#include <cstddef>

namespace velmora {

// Log lines waiting for the view; lines appended beyond it are counted and reported as omitted.
inline constexpr size_t MaxPendingLogLines = 5000;

// Client addresses whose imports the operator's panel follows; a new one beyond it takes the place
// of the one idle longest.
inline constexpr size_t MaxTrackedPhones = 256;

// Folders watched for saves of the project's files; files in folders beyond it are not followed.
inline constexpr size_t MaxWatchedFolders = 64;

// Bytes of a reply's head that the reachability probe reads before it gives up on the reply.
inline constexpr size_t MaxProbeReplyBytes = 16384;

}  // namespace velmora
