#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

// Tenths, rounded half up, written with a decimal comma.
std::string formatTenths(uint64_t tenths)
{
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
}

}  // namespace

std::string FormatSize(uint64_t bytes)
{
    constexpr uint64_t BytesPerKilobyteTenth = 100, BytesPerMegabyteTenth = 100000;
    const uint64_t kilobyteTenths = (bytes + BytesPerKilobyteTenth / 2) / BytesPerKilobyteTenth;
    // What rounds to 1000,0 kB is shown as the megabyte it is.
    if (kilobyteTenths < 10000)
        return formatTenths(kilobyteTenths) + " kB";
    return formatTenths((bytes + BytesPerMegabyteTenth / 2) / BytesPerMegabyteTenth) + " MB";
}

std::string FormatSeconds(std::chrono::milliseconds duration)
{
    const uint64_t ms = duration.count() > 0 ? static_cast<uint64_t>(duration.count()) : 0;
    return formatTenths((ms + 50) / 100);
}

}  // namespace velmora
