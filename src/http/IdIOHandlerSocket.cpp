#include "http/IdIOHandlerSocket.h"

namespace velmora {

int TIdIOHandlerSocket::waitReadable(int timeoutMs)
{
    return SocketStack()->waitReadable(m_binding.Handle(), timeoutMs);
}

int TIdIOHandlerSocket::waitWritable(int timeoutMs)
{
    TIdSocketList writable{m_binding.Handle()};
    return SocketStack()->select(nullptr, &writable, nullptr, timeoutMs);
}

ssize_t TIdIOHandlerSocket::receiveReady(void* buffer, size_t length)
{
    return SocketStack()->receive(m_binding.Handle(), buffer, length, MSG_DONTWAIT);
}

ssize_t TIdIOHandlerSocket::send(const void* buffer, size_t length, bool moreFollows)
{
    return SocketStack()->send(m_binding.Handle(), buffer, length, moreFollows ? MSG_MORE : 0);
}

ssize_t TIdIOHandlerSocket::sendFile(int fileDescriptor, size_t count)
{
    return SocketStack()->sendFile(m_binding.Handle(), fileDescriptor, count);
}

}  // namespace velmora
