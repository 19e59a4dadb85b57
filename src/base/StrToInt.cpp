#include "base/StrToInt.h"

namespace velmora {

namespace {

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Length of a hexadecimal prefix at text[pos], 0 when there is none.
size_t hexPrefixLength(const std::string& text, size_t pos)
{
    if (pos >= text.size())
        return 0;
    char c = text[pos];
    if (c == '$' || c == 'x' || c == 'X')
        return 1;
    if (c == '0' && pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X'))
        return 2;
    return 0;
}

}  // namespace

std::optional<int32_t> TryStrToInt(const std::string& text)
{
    size_t pos = text.find_first_not_of(' ');
    if (pos == std::string::npos)
        return std::nullopt;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (size_t prefix = hexPrefixLength(text, pos)) {
        base = 16;
        pos += prefix;
    }
    if (pos >= text.size())
        return std::nullopt;

    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
    int64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        int digit = digitValue(text[pos], base);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t StrToInt(const std::string& text)
{
    if (auto value = TryStrToInt(text))
        return *value;
    throw EConvertError(FormatMessage(SInvalidInteger, {text}));
}

}  // namespace velmora
