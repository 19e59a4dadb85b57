#include "http/IdRandomSource.h"

#include <cerrno>
#include <sys/random.h>

namespace velmora {

TIdRandomSource& TIdRandomSource::system()
{
    static TIdSystemRandom source;
    return source;
}

void TIdSystemRandom::fill(void* buffer, size_t size)
{
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ssize_t got = ::getrandom(out, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw EIdRandomSourceFailed(RSRandomSourceFailed);
        out += got;
        size -= static_cast<size_t>(got);
    }
}

}  // namespace velmora
