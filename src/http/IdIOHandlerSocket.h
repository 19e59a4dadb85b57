#pragma once
// A connection's transport over its socket handle; connected while the handle holds a socket.
// Closing shuts down sending, then closes.

#include "http/IdIOHandler.h"
#include "net/IdSocketHandle.h"

namespace velmora {

class TIdIOHandlerSocket : public TIdIOHandler {
public:
    TIdSocketHandle& Binding() { return m_binding; }
    // Applied when connecting out only; this system never does.
    bool UseNagle = true;

    bool connected() const override { return m_binding.HandleAllocated(); }
    int waitReadable(int timeoutMs) override;
    int waitWritable(int timeoutMs) override;
    int64_t receiveReady(void* buffer, size_t length) override;
    int64_t send(const void* buffer, size_t length, bool moreFollows) override;
    bool canSendFile() const override;
    int64_t sendFile(std::intptr_t file, size_t count) override;
    std::string peerAddress() const override { return m_binding.PeerAddress(); }
    void close() override { m_binding.closeSocket(); }
    void closeFromOutside() override { m_binding.shutdownFromOutside(); }

private:
    TIdSocketHandle m_binding;
};

}  // namespace velmora
