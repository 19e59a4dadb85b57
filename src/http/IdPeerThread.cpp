#include "http/IdPeerThread.h"

#include "http/IdTCPServer.h"

namespace velmora {

TIdPeerThread::TIdPeerThread(TIdTCPServer& server) : m_server(server)
{
}

TIdPeerThread::~TIdPeerThread() = default;

void TIdPeerThread::setConnection(std::unique_ptr<TIdTCPServerConnection> connection)
{
    m_connection = std::move(connection);
}

void TIdPeerThread::beforeRun()
{
    if (!m_connection || !m_connection->IOHandler())
        throw EIdTCPServerError(RSNoIOHandler);
    m_server.DoConnect(*this);
    if (!m_connection->connected())
        stop();
}

void TIdPeerThread::run()
{
    try {
        if (!m_server.DoExecute(*this))
            throw EIdNoExecuteSpecified(RSNoExecuteSpecified);
    } catch (const EIdClosedSocket& error) {
        m_server.DoException(*this, error);
    } catch (const EIdConnClosedGracefully& error) {
        m_server.DoException(*this, error);
    } catch (const std::exception& error) {
        m_server.DoException(*this, error);
        throw;
    } catch (...) {
        m_server.DoException(*this, EIdThreadUnknownException(RSThreadUnknownException));
        throw;
    }
    if (!m_connection->connected())
        stop();
}

void TIdPeerThread::afterRun()
{
    m_server.DoDisconnect(*this);
}

void TIdPeerThread::cleanup()
{
    if (m_connection)
        m_connection->disconnectSocket();
    m_server.ThreadMgr().releaseThread(*this);
    m_server.removeConnectionThread(*this);
}

}  // namespace velmora
