#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

// Tenths, rounded half up, written with a decimal comma.
std::string formatTenths(uint64_t tenths)
{
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
}

}  // namespace

std::string FormatMegabytes(uint64_t bytes)
{
    constexpr uint64_t BytesPerTenth = 100000;
    return formatTenths((bytes + BytesPerTenth / 2) / BytesPerTenth);
}

std::string FormatSeconds(std::chrono::milliseconds duration)
{
    const uint64_t ms = duration.count() > 0 ? static_cast<uint64_t>(duration.count()) : 0;
    return formatTenths((ms + 50) / 100);
}

}  // namespace velmora
