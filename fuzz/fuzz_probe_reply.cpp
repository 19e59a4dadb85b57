// Feeds arbitrary bytes to the reading of a reply head that the reachability probe receives: it must
// answer or refuse, never crash, and a status it answers has three digits.
#include "operator/HttpProbe.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto head = velmora::ParseReplyHead(bytes);
    if (head && (head->StatusCode < 0 || head->StatusCode > 999 || head->Server.size() > size))
        __builtin_trap();
    return 0;
}
