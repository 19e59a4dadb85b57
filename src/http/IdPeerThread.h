#pragma once
// The thread of one connection: runs the server's connect hook, repeats the per-connection step while
// the connection lasts, runs the disconnect hook, then releases itself and its connection.

#include <cstdint>
#include <memory>

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
    // The connection's place in the server's census of connections; 0 until admitted.
    uint64_t m_ticket = 0;
};

}  // namespace velmora
