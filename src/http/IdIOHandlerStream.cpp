#include "http/IdIOHandlerStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora {

int TIdIOHandlerStream::waitReadable(int)
{
    return 1;
}

ssize_t TIdIOHandlerStream::receiveReady(void* buffer, size_t length)
{
    if (m_position == m_input.size()) {
        if (FailAtEndWith == 0)
            return 0;
        errno = FailAtEndWith;
        return -1;
    }
    size_t count = std::min(length, m_input.size() - m_position);
    if (m_chunkSize)
        count = std::min(count, m_chunkSize);
    std::memcpy(buffer, m_input.data() + m_position, count);
    m_position += count;
    return static_cast<ssize_t>(count);
}

ssize_t TIdIOHandlerStream::send(const void* buffer, size_t length, bool)
{
    if (FailSendsAfter >= 0 && m_output.size() + length > static_cast<size_t>(FailSendsAfter)) {
        errno = EPIPE;
        return -1;
    }
    m_output.append(static_cast<const char*>(buffer), length);
    m_sends.push_back(length);
    return static_cast<ssize_t>(length);
}

}  // namespace velmora
