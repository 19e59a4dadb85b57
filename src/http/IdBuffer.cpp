#include "http/IdBuffer.h"

#include <algorithm>
#include <cstring>

namespace velmora {

char* TIdBuffer::reserveTail(size_t count)
{
    if (m_capacity - m_end >= count)
        return m_data.get() + m_end;
    size_t held = size();
    if (m_capacity - held >= count && m_start > 0) {
        std::memmove(m_data.get(), m_data.get() + m_start, held);
    } else {
        size_t capacity = std::max({held + count, m_capacity * 2, IdBufferMinimumCapacity});
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (held)
            std::memcpy(grown.get(), m_data.get() + m_start, held);
        m_data = std::move(grown);
        m_capacity = capacity;
    }
    m_start = 0;
    m_end = held;
    return m_data.get() + m_end;
}

void TIdBuffer::append(const void* bytes, size_t count)
{
    std::memcpy(reserveTail(count), bytes, count);
    commit(count);
}

void TIdBuffer::remove(size_t count)
{
    if (count > size())
        throw EIdNotEnoughDataInBuffer(RSNotEnoughDataInBuffer);
    m_start += count;
    if (m_start == m_end) {
        clear();
    } else if (m_start >= IdBufferCompactAfter) {
        std::memmove(m_data.get(), m_data.get() + m_start, size());
        m_end -= m_start;
        m_start = 0;
    }
}

std::string TIdBuffer::extract(size_t count)
{
    if (count > size())
        throw EIdNotEnoughDataInBuffer(RSNotEnoughDataInBuffer);
    std::string bytes(data(), count);
    remove(count);
    return bytes;
}

}  // namespace velmora
