#pragma once
// The program-wide integer conversion used for screen-file attributes and the port box.

#include <cstdint>
#include <optional>
#include <string>

#include "base/Exception.h"

namespace velmora {

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";

// Accepts optional leading spaces, one sign, then decimal digits or hexadecimal digits after
// "$", "x", "X", "0x" or "0X", to the end of the text, within 32 bits signed.
// Answers none for anything else.
std::optional<int32_t> TryStrToInt(const std::string& text);

// As TryStrToInt; throws EConvertError with the text in the message on failure.
int32_t StrToInt(const std::string& text);

}  // namespace velmora
