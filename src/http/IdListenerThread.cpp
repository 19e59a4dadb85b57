#include "http/IdListenerThread.h"

#include "http/IdPeerThread.h"
#include "http/IdTCPServer.h"

namespace velmora {

namespace {

// Bytes of a refused client's request taken in before the close; the rest, if any, is left.
constexpr size_t RefusedRequestBytes = 4096;

}  // namespace

TIdListenerThread::~TIdListenerThread() = default;

void TIdListenerThread::refuse(TIdPeerThread& thread)
{
    TIdTCPServerConnection& connection = thread.Connection();
    const std::string& reply = m_server.refusalReply();
    if (!reply.empty()) {
        // One send that never waits: the listener must not stall on a client, and a fresh socket
        // takes a short reply whole. What the client sent already is taken in first, so that the
        // close does not reset the connection before the reply is read.
        char request[RefusedRequestBytes];
        connection.IOHandler()->receiveReady(request, sizeof request);
        connection.IOHandler()->send(reply.data(), reply.size(), false);
    }
    connection.disconnect();
    m_server.ThreadMgr().releaseThread(thread);
}

void TIdListenerThread::run()
{
    TIdAcceptResult result;
    auto io = m_server.IOHandler().accept(
        m_binding, [this] { return terminated(); }, result);
    if (!io) {
        if (result == TIdAcceptResult::arStopped)
            stop();
        else
            sleepUnlessTerminated(IdAcceptFailurePause);
        return;
    }
    TIdPeerThread* thread = nullptr;
    try {
        auto connection = std::make_unique<TIdTCPServerConnection>(m_server);
        connection->setIOHandler(std::move(io));
        connection->SendTimeout = m_server.SendTimeout;
        thread = static_cast<TIdPeerThread*>(m_server.ThreadMgr().getThread());
        thread->StackSize = m_server.ThreadStackSize;
        thread->setConnection(std::move(connection));
        if (!m_server.tryAddConnectionThread(*thread)) {
            refuse(*thread);
            return;
        }
        thread->start();
    } catch (...) {
        // A thread that cannot start closes its connection; the listener goes on.
        if (thread) {
            m_server.removeConnectionThread(*thread);
            m_server.ThreadMgr().releaseThread(*thread);
        }
        reportListenException();
    }
}

void TIdListenerThread::reportListenException()
{
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            m_server.DoListenException(*this, error);
        } catch (...) {
            m_server.DoListenException(*this, EIdThreadUnknownException(RSThreadUnknownException));
        }
    } catch (...) {
        // A failing report must not end the listener: the server would stop accepting.
    }
}

}  // namespace velmora
