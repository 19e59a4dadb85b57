#include "http/IdListenerThread.h"

#include "http/IdPeerThread.h"
#include "http/IdTCPServer.h"

namespace velmora {

TIdListenerThread::~TIdListenerThread() = default;

void TIdListenerThread::refuse(TIdPeerThread& thread)
{
    TIdTCPServerConnection& connection = thread.Connection();
    try {
        if (!m_server.MaxConnectionReply.empty())
            connection.write(m_server.MaxConnectionReply);
    } catch (const EIdException&) {
        // The refused client has gone already; nothing to tell it.
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
