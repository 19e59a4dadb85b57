#include "http/IdIOHandlerStream.h"

#include <algorithm>
#include <cstring>

#include "base/FileSystem.h"
#include "net/IdStack.h"

namespace velmora {

int TIdIOHandlerStream::waitReadable(int)
{
    return 1;
}

int64_t TIdIOHandlerStream::receiveReady(void* buffer, size_t length)
{
    if (m_position == m_input.size()) {
        if (FailAtEndWith == 0)
            return 0;
        SetLastSystemError(FailAtEndWith);
        return -1;
    }
    size_t count = std::min(length, m_input.size() - m_position);
    if (m_chunkSize)
        count = std::min(count, m_chunkSize);
    std::memcpy(buffer, m_input.data() + m_position, count);
    m_position += count;
    return static_cast<int64_t>(count);
}

int64_t TIdIOHandlerStream::send(const void* buffer, size_t length, bool)
{
    if (FailSendsAfter >= 0 && m_output.size() + length > static_cast<size_t>(FailSendsAfter)) {
        SetLastSystemError(Id_WSAECONNRESET);
        return -1;
    }
    m_output.append(static_cast<const char*>(buffer), length);
    m_sends.push_back(length);
    return static_cast<int64_t>(length);
}

}  // namespace velmora
