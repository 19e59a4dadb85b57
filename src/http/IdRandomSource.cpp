#include "http/IdRandomSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/random.h>

namespace velmora {

TIdRandomSource& TIdRandomSource::system()
{
    static TIdSystemRandom source;
    return source;
}

namespace {

void fillFromSystem(void* buffer, size_t size)
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

}  // namespace

void TIdSystemRandom::fill(void* buffer, size_t size)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::lock_guard<std::mutex> guard(m_poolMutex);
    while (size > 0) {
        if (m_poolLeft == 0) {
            fillFromSystem(m_pool, sizeof m_pool);
            m_poolLeft = sizeof m_pool;
        }
        size_t taken = std::min(size, m_poolLeft);
        unsigned char* from = m_pool + sizeof m_pool - m_poolLeft;
        std::memcpy(out, from, taken);
        // Handed-out bytes are wiped so that nothing left in memory tells of a past identifier.
        std::memset(from, 0, taken);
        m_poolLeft -= taken;
        out += taken;
        size -= taken;
    }
}

}  // namespace velmora
