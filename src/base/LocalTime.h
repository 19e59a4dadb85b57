#pragma once
// The system's local time: calendar fields and the offset from UTC of a moment, as the time-zone
// settings of the machine give them. One implementation per platform: LocalTimePosix.cpp,
// LocalTimeWindows.cpp.

#include <ctime>
#include <optional>

namespace velmora {

// The local calendar fields of the moment, and in utcOffsetSeconds how far local time is ahead of
// UTC then; none when the system cannot tell.
std::optional<std::tm> LocalTimeFields(std::time_t when, long& utcOffsetSeconds);

}  // namespace velmora
