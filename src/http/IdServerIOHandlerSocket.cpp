#include "http/IdServerIOHandlerSocket.h"

namespace velmora {

std::unique_ptr<TIdIOHandlerSocket> TIdServerIOHandlerSocket::accept(TIdSocketHandle& listening,
                                                                     const std::function<bool()>& stopRequested,
                                                                     TIdAcceptResult& result)
{
    TIdStack& stack = *SocketStack();
    for (;;) {
        if (stopRequested() || !listening.HandleAllocated()) {
            result = TIdAcceptResult::arStopped;
            return nullptr;
        }
        // Accepting before waiting takes a burst of pending connections without a wait for each.
        TIdSocketAddress peer;
        TIdStackSocketHandle handle = stack.accept(listening.Handle(), peer);
        if (handle == Id_INVALID_SOCKET) {
            if (stack.CheckSocketResult(Id_SOCKET_ERROR, {Id_WSAEWOULDBLOCK})) {
                stack.waitReadable(listening.Handle(), IdAcceptWaitSlice);
                continue;
            }
            // A signal interrupting the accept is no reason to stop listening.
            if (stack.CheckSocketResult(Id_SOCKET_ERROR, {Id_WSAEINTR, Id_WSAECONNABORTED, Id_WSAECONNRESET}))
                continue;
            bool socketGone = stack.CheckSocketResult(Id_SOCKET_ERROR, {Id_WSAENOTSOCK, Id_WSAEBADF, Id_WSAEINVAL});
            result = socketGone ? TIdAcceptResult::arStopped : TIdAcceptResult::arFailed;
            return nullptr;
        }
        auto io = std::make_unique<TIdIOHandlerSocket>();
        io->Binding().adopt(handle, peer);
        if (NoDelay)
            io->Binding().setNoDelay();
        result = TIdAcceptResult::arAccepted;
        return io;
    }
}

}  // namespace velmora
