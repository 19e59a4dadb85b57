#pragma once
// A connection's input buffer: received bytes not yet consumed. Consuming from the front only moves an
// offset; the rest moves to the front once 32768 bytes have been consumed, or the buffer empties.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "net/IdException.h"

namespace velmora {

class EIdNotEnoughDataInBuffer : public EIdException {
public:
    using EIdException::EIdException;
};

inline constexpr const char* RSNotEnoughDataInBuffer = "Not enough data in buffer.";
inline constexpr size_t IdBufferCompactAfter = 32768;
// A little under 1 KiB: with the C library's own bookkeeping the block still counts as small, and a
// fresh thread takes small blocks from its own cache instead of carving them from the shared heap.
inline constexpr size_t IdBufferMinimumCapacity = 1000;

class TIdBuffer {
public:
    size_t size() const { return m_end - m_start; }
    bool empty() const { return m_end == m_start; }
    std::string_view view() const { return {m_data.get() + m_start, size()}; }
    const char* data() const { return m_data.get() + m_start; }

    // Room for at least count more bytes at the end; commit what was written there.
    char* reserveTail(size_t count);
    size_t tailRoom() const { return m_capacity - m_end; }
    size_t capacity() const { return m_capacity; }
    void commit(size_t count) { m_end += count; }
    void append(const void* bytes, size_t count);

    // Both throw EIdNotEnoughDataInBuffer when fewer than count bytes are held.
    void remove(size_t count);
    std::string extract(size_t count);
    void clear() { m_start = m_end = 0; }

private:
    std::unique_ptr<char[]> m_data;
    size_t m_capacity = 0;
    size_t m_start = 0;
    size_t m_end = 0;
};

}  // namespace velmora
