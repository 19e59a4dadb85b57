#pragma once
// The bounds of the operator's log between the threads that write it and the views that show it.
// Each is tested at the limit and one past it.

#include <cstddef>

namespace velmora {

// Log lines waiting for the view, and their bytes together; a line appended beyond either is
// counted and reported as omitted.
inline constexpr size_t MaxPendingLogLines = 20000;
inline constexpr size_t MaxPendingLogBytes = 4 * 1024 * 1024;
// Lines a window's log keeps; the oldest go first.
inline constexpr size_t MaxLogViewLines = 10000;

}  // namespace velmora
