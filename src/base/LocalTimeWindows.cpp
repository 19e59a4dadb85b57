#include "base/LocalTime.h"

namespace velmora {

std::optional<std::tm> LocalTimeFields(std::time_t when, long& utcOffsetSeconds)
{
    std::tm fields{};
    if (::localtime_s(&fields, &when) != 0)
        return std::nullopt;
    // The local fields read as if they were UTC are ahead of the moment by the offset.
    std::tm asUtc = fields;
    const std::time_t shifted = ::_mkgmtime(&asUtc);
    if (shifted == static_cast<std::time_t>(-1))
        return std::nullopt;
    utcOffsetSeconds = static_cast<long>(shifted - when);
    return fields;
}

}  // namespace velmora
