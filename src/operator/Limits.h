#pragma once
// The bounds of the operator's panel: how many phones and folders it follows, how much of a reply
// its probes read and how long they wait. Each is tested at the limit and one past it.

#include <chrono>
#include <cstddef>

namespace velmora {

// Client addresses whose imports the panel follows; a new one beyond it takes the place of the one
// idle longest.
inline constexpr size_t MaxTrackedPhones = 256;
// A phone that has asked for nothing this long without having every file is incomplete.
inline constexpr std::chrono::seconds PhoneIdleLimit{10};
// Names of missing files a phone's report carries; the count is always whole.
inline constexpr size_t MaxMissingNamesShown = 50;
// Folders watched for saves of the project's files; files in folders beyond it are not followed.
inline constexpr size_t MaxWatchedFolders = 64;
// Bytes of a reply's head that the reachability probe reads before it gives up on the reply.
inline constexpr size_t MaxProbeReplyBytes = 16384;
// How long the probe of the server through the chosen address may take.
inline constexpr std::chrono::milliseconds ReachabilityLimit{3000};
// How long the probe of the program holding a taken port may take.
inline constexpr std::chrono::milliseconds HolderProbeLimit{1000};

}  // namespace velmora
