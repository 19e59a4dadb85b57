#pragma once
// Every quantity that a client or an input file can drive, bounded in one place: each line says
// what it bounds.

#include <cstddef>

namespace velmora {

// Log lines waiting for the view; lines appended beyond it are counted and reported as omitted.
inline constexpr size_t MaxPendingLogLines = 20000;
// Lines the window's log keeps; the oldest go first.
inline constexpr size_t MaxLogViewLines = 10000;

}  // namespace velmora
