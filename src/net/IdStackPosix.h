#pragma once
// The socket stack over POSIX IPv4 sockets. Made by the first network component; its one-time
// start-up makes the process ignore SIGPIPE, so that writing to a vanished peer never kills it.

#include "net/IdStack.h"

namespace velmora {

class TIdStackPosix : public TIdStack {
public:
    TIdStackPosix();

    TIdStackSocketHandle createSocket(int type, int protocol) override;
    int bind(TIdStackSocketHandle handle, int family, int port, const std::string& ip) override;
    int listen(TIdStackSocketHandle handle, int backlog) override;
    TIdStackSocketHandle accept(TIdStackSocketHandle handle, TIdSocketAddress& peer) override;
    int connect(TIdStackSocketHandle handle, int family, int port, const std::string& ip) override;
    int64_t receive(TIdStackSocketHandle handle, void* buffer, size_t length, int flags) override;
    int64_t send(TIdStackSocketHandle handle, const void* buffer, size_t length, int flags) override;
    bool canSendFile() const override { return true; }
    int64_t sendFile(TIdStackSocketHandle handle, std::intptr_t file, size_t count) override;
    int select(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeoutMs) override;
    int waitReadable(TIdStackSocketHandle handle, int timeoutMs) override;
    int shutdown(TIdStackSocketHandle handle, int how) override;
    int closeSocket(TIdStackSocketHandle handle) override;
    int setNoDelay(TIdStackSocketHandle handle) override;
    int setNonBlocking(TIdStackSocketHandle handle) override;
    int prepareListener(TIdStackSocketHandle handle, bool reuseAddress) override;
    int pendingError(TIdStackSocketHandle handle) override;
    bool shutdownEndsWaits() const override { return true; }
    void raiseHandleLimit() override;
    TIdSocketAddress localName(TIdStackSocketHandle handle) override;
    TIdSocketAddress peerName(TIdStackSocketHandle handle) override;
    int lastError() override;
    std::string hostName() override;
    std::optional<std::string> hostByName(const std::string& name) override;
    std::optional<std::string> hostByAddress(const std::string& ip) override;
    std::vector<std::string> localAddresses() override;
    int serviceByName(const std::string& name) override;
    std::vector<std::string> serviceByPort(int port) override;
};

}  // namespace velmora
