#pragma once
// The thread of one listening binding: accepts connections and hands each to a fresh connection thread.

#include "http/IdThread.h"
#include "net/IdSocketHandle.h"

namespace velmora {

class TIdTCPServer;
class TIdPeerThread;

class TIdListenerThread : public TIdThread {
public:
    TIdListenerThread(TIdTCPServer& server, TIdSocketHandle& binding) : m_server(server), m_binding(binding) {}
    ~TIdListenerThread() override;

    TIdSocketHandle& Binding() { return m_binding; }

protected:
    void run() override;

private:
    void refuse(TIdPeerThread& thread);
    // Reports the exception being handled to OnListenException; nothing the report throws escapes.
    void reportListenException();

    TIdTCPServer& m_server;
    TIdSocketHandle& m_binding;
};

}  // namespace velmora
