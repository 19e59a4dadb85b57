#pragma once
// Base64 (the MIME alphabet, "=" as fill) for Basic credentials.

#include <string>

#include "net/IdException.h"

namespace velmora {

inline constexpr const char* RSUnevenSizeInDecodeStream = "Uneven size in DecodeToStream.";

class TIdDecoderMIME {
public:
    // Decodes groups of four characters; a length that is not a multiple of 4 throws EIdException.
    static std::string DecodeString(const std::string& text);
};

class TIdEncoderMIME {
public:
    static std::string EncodeString(const std::string& bytes);
};

}  // namespace velmora
