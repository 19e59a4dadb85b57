#include "http/IdHTTPDate.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "base/LocalTime.h"
#include "http/IdStrings.h"

namespace velmora {

namespace {

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::tm utcFields(TIdDateTime when)
{
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss clock{floor<seconds>(when - day)};
    std::tm fields{};
    fields.tm_year = static_cast<int>(date.year()) - 1900;
    fields.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    fields.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    fields.tm_wday = static_cast<int>(weekday{day}.c_encoding());
    fields.tm_hour = static_cast<int>(clock.hours().count());
    fields.tm_min = static_cast<int>(clock.minutes().count());
    fields.tm_sec = static_cast<int>(clock.seconds().count());
    return fields;
}

// Seconds since 1970 of calendar fields in UTC; a day past its month's end runs on into the next.
// Counted in seconds throughout: the system clock's nanoseconds reach only the year 2262.
std::time_t utcSeconds(const std::tm& fields)
{
    using namespace std::chrono;
    const sys_days day{year{fields.tm_year + 1900} / month{static_cast<unsigned>(fields.tm_mon + 1)} /
                       std::chrono::day{static_cast<unsigned>(fields.tm_mday)}};
    const sys_seconds when = day + hours{fields.tm_hour} + minutes{fields.tm_min} + seconds{fields.tm_sec};
    return static_cast<std::time_t>(when.time_since_epoch().count());
}

std::string clockText(const std::tm& fields)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", fields.tm_hour, fields.tm_min, fields.tm_sec);
    return text;
}

std::vector<std::string> tokens(const std::string& text)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '-' || c == '\t') {
            if (!current.empty())
                parts.push_back(std::move(current));
            current.clear();
            // A sign starts a zone offset only after the time; elsewhere "-" separates date parts.
            if (c == '-' && !parts.empty() && parts.back().find(':') != std::string::npos)
                current.push_back('-');
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(std::move(current));
    return parts;
}

std::optional<int> number(const std::string& text)
{
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

int monthIndex(const std::string& text)
{
    for (int i = 0; i < 12; ++i)
        if (text.size() >= 3 && SameText(text.substr(0, 3), kMonthNames[i]))
            return i;
    return -1;
}

bool isDayName(const std::string& text)
{
    for (const char* day : kDayNames)
        if (text.size() >= 3 && SameText(text.substr(0, 3), day))
            return true;
    return false;
}

bool readClock(const std::string& text, std::tm& fields)
{
    int hours = 0, minutes = 0, seconds = 0;
    char extra = 0;
    int read = std::sscanf(text.c_str(), "%d:%d:%d%c", &hours, &minutes, &seconds, &extra);
    if (read < 2 || read > 3 || hours > 23 || minutes > 59 || seconds > 60)
        return false;
    fields.tm_hour = hours;
    fields.tm_min = minutes;
    fields.tm_sec = seconds;
    return true;
}

bool readZone(const std::string& text, long& offsetSeconds)
{
    if (SameText(text, "GMT") || SameText(text, "UTC") || SameText(text, "Z")) {
        offsetSeconds = 0;
        return true;
    }
    if (text.size() != 5 || (text[0] != '+' && text[0] != '-'))
        return false;
    auto digits = number(text.substr(1));
    if (!digits)
        return false;
    offsetSeconds = static_cast<long>(*digits / 100 * 3600 + *digits % 100 * 60) * (text[0] == '-' ? -1 : 1);
    return true;
}

}  // namespace

std::string DateTimeGMTToHttpStr(TIdDateTime when)
{
    std::tm fields = utcFields(when);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %.2d %s %.4d %s GMT", kDayNames[fields.tm_wday], fields.tm_mday,
                  kMonthNames[fields.tm_mon], fields.tm_year + 1900, clockText(fields).c_str());
    return text;
}

std::string DateTimeToInternetStr(TIdDateTime when)
{
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    long utcOffset = 0;
    const std::optional<std::tm> local = LocalTimeFields(seconds, utcOffset);
    if (!local)
        throw EIdFailedToRetreiveTimeZoneInfo(RSFailedTimeZoneInfo);
    const std::tm& fields = *local;
    long offset = utcOffset / 60;
    char sign = offset >= 0 ? '+' : '-';
    offset = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %d %s %c%.2ld%.2ld", kDayNames[fields.tm_wday], fields.tm_mday,
                  kMonthNames[fields.tm_mon], fields.tm_year + 1900, clockText(fields).c_str(), sign, offset / 60,
                  offset % 60);
    return text;
}

std::string DateTimeToCookieStr(TIdDateTime when)
{
    std::tm fields = utcFields(when);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d-%s-%d %s GMT", kDayNames[fields.tm_wday], fields.tm_mday,
                  kMonthNames[fields.tm_mon], fields.tm_year + 1900, clockText(fields).c_str());
    return text;
}

std::optional<TIdDateTime> GMTToLocalDateTime(const std::string& text)
{
    std::tm fields{};
    int day = -1, month = -1, year = -1;
    long offset = 0;
    bool haveClock = false, haveZone = false;
    for (const std::string& part : tokens(text)) {
        if (isDayName(part) && day < 0 && month < 0)
            continue;
        if (int m = monthIndex(part); m >= 0 && month < 0) {
            month = m;
        } else if (part.find(':') != std::string::npos && !haveClock) {
            if (!readClock(part, fields))
                return std::nullopt;
            haveClock = true;
        } else if (auto n = number(part); n && day < 0 && part.size() <= 2) {
            day = *n;
        } else if (n && year < 0) {
            year = part.size() <= 2 ? (*n < 80 ? 2000 + *n : 1900 + *n) : *n;
        } else if (!haveZone && readZone(part, offset)) {
            haveZone = true;
        } else {
            return std::nullopt;
        }
    }
    if (day < 1 || day > 31 || month < 0 || year < 1601)
        return std::nullopt;
    fields.tm_mday = day;
    fields.tm_mon = month;
    fields.tm_year = year - 1900;
    std::time_t seconds = utcSeconds(fields);
    // The clock's ticks span about 292 years either side of 1970; a date beyond is no date.
    constexpr auto span =
        std::chrono::duration_cast<std::chrono::seconds>(TIdDateTime::duration::max()).count() - 86400;
    if (seconds == static_cast<std::time_t>(-1) || seconds - offset > span || seconds - offset < -span)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds - offset);
}

}  // namespace velmora
