#include "base/LocalTime.h"

namespace velmora {

std::optional<std::tm> LocalTimeFields(std::time_t when, long& utcOffsetSeconds)
{
    std::tm fields{};
    if (!::localtime_r(&when, &fields))
        return std::nullopt;
    utcOffsetSeconds = fields.tm_gmtoff;
    return fields;
}

}  // namespace velmora
