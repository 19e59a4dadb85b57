#pragma once
// The bounds of the operator's log between the threads that write it and the views that show it.
// Each is tested at the limit and one past it.

#include <chrono>
#include <cstddef>

namespace velmora {

// Log lines waiting for the view, and their bytes together; a line appended beyond either is
// counted and reported as omitted.
inline constexpr size_t MaxPendingLogLines = 20000;
inline constexpr size_t MaxPendingLogBytes = 4 * 1024 * 1024;
// Lines a window's log keeps; the oldest go first.
inline constexpr size_t MaxLogViewLines = 10000;
// How long the exit may take, from the operator's close or a stop signal to the end of the process:
// connection threads are awaited only within it (Windows ends a console program this long after
// its window closes). Of it, the last log lines get ExitLogFlushTime.
inline constexpr std::chrono::milliseconds ExitTimeLimit{5000};
inline constexpr std::chrono::milliseconds ExitLogFlushTime{500};

}  // namespace velmora
