#include "http/IdRandomSource.h"

#include <algorithm>
#include <cstring>

#include "base/SystemRandom.h"

namespace velmora {

TIdRandomSource& TIdRandomSource::system()
{
    static TIdSystemRandom source;
    return source;
}

namespace {

void fillFromSystem(void* buffer, size_t size)
{
    if (!SystemRandomBytes(buffer, size))
        throw EIdRandomSourceFailed(RSRandomSourceFailed);
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
