#include <windows.h>

#include <bcrypt.h>

#include "base/SystemRandom.h"

namespace velmora {

bool SystemRandomBytes(void* buffer, size_t size)
{
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ULONG chunk = static_cast<ULONG>(size > 0x10000000 ? 0x10000000 : size);
        if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, out, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        out += chunk;
        size -= chunk;
    }
    return true;
}

}  // namespace velmora
