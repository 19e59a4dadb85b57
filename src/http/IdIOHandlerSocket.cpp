#include "http/IdIOHandlerSocket.h"

namespace velmora {

int TIdIOHandlerSocket::waitReadable(int timeoutMs)
{
    return m_binding.waitReadable(timeoutMs);
}

int TIdIOHandlerSocket::waitWritable(int timeoutMs)
{
    return m_binding.waitWritable(timeoutMs);
}

namespace {

// A failure that only says the socket takes or holds nothing now is no failure.
int64_t nothingReadyAsSuch(int64_t result)
{
    if (result == Id_SOCKET_ERROR && SocketStack()->CheckSocketResult(Id_SOCKET_ERROR, {Id_WSAEWOULDBLOCK}))
        return IdNothingReady;
    return result;
}

}  // namespace

int64_t TIdIOHandlerSocket::receiveReady(void* buffer, size_t length)
{
    // A socket shut down from outside ends the input as a peer's close would, on systems whose
    // receive reports the shut-down as an error, or as nothing ready, instead of as the end.
    if (m_binding.ShutFromOutside())
        return 0;
    return nothingReadyAsSuch(SocketStack()->receive(m_binding.Handle(), buffer, length, Id_MSG_DontWait));
}

int64_t TIdIOHandlerSocket::send(const void* buffer, size_t length, bool moreFollows)
{
    return nothingReadyAsSuch(SocketStack()->send(m_binding.Handle(), buffer, length, moreFollows ? Id_MSG_More : 0));
}

bool TIdIOHandlerSocket::canSendFile() const
{
    return SocketStack()->canSendFile();
}

int64_t TIdIOHandlerSocket::sendFile(std::intptr_t file, size_t count)
{
    return nothingReadyAsSuch(SocketStack()->sendFile(m_binding.Handle(), file, count));
}

}  // namespace velmora
