#pragma once
// Dates in HTTP headers and cookies: the GMT form, the local-time form with the zone's offset, the
// cookie expiry form, and the reading of received dates in their common spellings.

#include <chrono>
#include <optional>
#include <string>

#include "net/IdException.h"

namespace velmora {

using TIdDateTime = std::chrono::system_clock::time_point;

class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
public:
    using EIdException::EIdException;
};

inline constexpr const char* RSFailedTimeZoneInfo = "Failed attempting to retrieve time zone information.";

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string DateTimeGMTToHttpStr(TIdDateTime when);
// "Sun, 6 Nov 1994 09:49:37 +0100" in the local zone; throws EIdFailedToRetreiveTimeZoneInfo.
std::string DateTimeToInternetStr(TIdDateTime when);
// "Sun, 6-Nov-1994 08:49:37 GMT".
std::string DateTimeToCookieStr(TIdDateTime when);
// With or without a day name, day and month in either order, two- or four-digit years (below 80 is
// the 2000s), an optional time and an optional zone ("GMT", "UTC" or a sign and four digits);
// answers none for an empty or unreadable text.
std::optional<TIdDateTime> GMTToLocalDateTime(const std::string& text);

}  // namespace velmora
