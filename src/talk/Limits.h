#pragma once
// What the conversation engine's callers let a user send it.

#include <cstddef>

namespace velmora {

// Bytes of a thought the conversation page answers; a longer one is refused.
inline constexpr size_t MaxThoughtLength = 4096;
// Bytes of one line typed into velmora-talk; a longer line is skipped instead of being held whole.
inline constexpr size_t MaxTalkLineLength = 65536;

}  // namespace velmora
