// Feeds arbitrary texts to the integer conversion: it must answer or refuse, never crash.
#include "base/StrToInt.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    auto value = velmora::TryStrToInt(text);
    if (value) {
        // Whatever is accepted must read back the same through its decimal form.
        auto again = velmora::TryStrToInt(std::to_string(*value));
        if (!again || *again != *value)
            __builtin_trap();
    }
    return 0;
}
