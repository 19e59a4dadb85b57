#pragma once
// The thread of one connection: runs the server's connect hook, repeats the per-connection step while
// the connection lasts, runs the disconnect hook, then releases itself and its connection.

#include <memory>
#include <string>

#include "http/IdThread.h"

namespace velmora {

class TIdTCPServer;
class TIdTCPServerConnection;

class TIdPeerThread : public TIdThread {
public:
    explicit TIdPeerThread(TIdTCPServer& server);
    ~TIdPeerThread() override;

    TIdTCPServerConnection& Connection() { return *m_connection; }
    TIdTCPServer& Server() { return m_server; }
    void setConnection(std::unique_ptr<TIdTCPServerConnection> connection);

protected:
    void beforeRun() override;
    void run() override;
    void afterRun() override;
    void cleanup() override;

private:
    friend class TIdTCPServer;

    TIdTCPServer& m_server;
    std::unique_ptr<TIdTCPServerConnection> m_connection;
    // The peer's address, counted against the server's MaxConnectionsPerClient while the thread lives.
    std::string m_clientAddress;
};

}  // namespace velmora
