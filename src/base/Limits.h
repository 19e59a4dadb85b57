#pragma once
// Every quantity that a client or an input file can drive, bounded in one place: each line says
// what it bounds.

#include <cstddef>

namespace velmora {

// Log lines waiting for the view; lines appended beyond it are counted and reported as omitted.
inline constexpr size_t MaxPendingLogLines = 5000;

}  // namespace velmora
