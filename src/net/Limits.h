#pragma once
// The bound of the socket stack that a caller can push against.

#include <cstddef>

namespace velmora {

// Sockets one readiness wait takes; a longer list is refused with EIdStackSetSizeExceeded.
inline constexpr size_t IdMaxWaitHandles = 64;

}  // namespace velmora
