#pragma once
// One socket of the server: a listening binding (IP, Port, port range) or an accepted connection
// (PeerAddress, RemotePort). Another thread may shut it down to wake a wait on it; only the owner
// closes it, so a handle number is never shut down after it was reused.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/IdStack.h"

namespace velmora {

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdCouldNotBindSocket : public EIdSocketHandleError {
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};
class EIdCanNotBindPortInRange : public EIdSocketHandleError {
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};
class EIdInvalidPortRange : public EIdSocketHandleError {
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};

// A port in use means, to this program, that another copy of it is already running.
inline constexpr const char* RSCouldNotBindSocket = "Ja existe um programa da Velmora aberto no computador.";
inline constexpr const char* RSInvalidPortRange = "Invalid Port Range (%s - %s)";
inline constexpr const char* RSCannotBindRange = "Can not bind in port range (%s - %s)";
inline constexpr const char* RSBindFailed = "Could not bind socket on port %s. %s";
inline constexpr const char* RSListenFailed = "Could not listen on port %s. %s";

// Where the system's wait does not end when another thread shuts the socket down, waits last at
// most this many milliseconds before they look again.
inline constexpr int IdShutdownCheckSliceMs = 100;

class TIdSocketHandle {
public:
    explicit TIdSocketHandle(int defaultPort = 0) : Port(defaultPort) {}
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    std::string IP;
    int Port = 0;
    int ClientPortMin = 0;
    int ClientPortMax = 0;

    TIdStackSocketHandle Handle() const { return m_handle.load(std::memory_order_relaxed); }
    bool HandleAllocated() const { return Handle() != Id_INVALID_SOCKET; }
    // Whether shutdownFromOutside ended the connection: nothing more is to be read from it.
    bool ShutFromOutside() const { return m_shutFromOutside.load(); }
    const std::string& PeerAddress() const { return m_peer.IP; }
    int RemotePort() const { return m_peer.Port; }

    // Closes a socket already held first; throws EIdInvalidSocket.
    void allocateSocket(int type = Id_SOCK_STREAM, int protocol = 0);
    // Binds IP and Port (or the client port range); throws EIdCouldNotBindSocket for a port in use
    // and a failed bind for any other reason, then reads IP and Port back from the socket.
    void bind();
    // Answers false when the system refused to listen.
    bool listen(int backlog);
    // Takes over an accepted handle and its peer address.
    void adopt(TIdStackSocketHandle handle, const TIdSocketAddress& peer);
    // Sends go out at once instead of waiting to fill a packet.
    void setNoDelay();
    // Receives and sends answer at once instead of waiting; the caller waits for readiness.
    void setNonBlocking();
    // For a listening socket, before it binds: see TIdStack::prepareListener.
    void prepareListener(bool reuseAddress);
    // Shuts down sending, then closes; only the owning thread calls this.
    void closeSocket();
    // From any thread: ends every pending wait and receive on the socket, which the owner then closes.
    void shutdownFromOutside();
    // The owner's waits for the socket: 1 when it can be read (or written), or was shut down from
    // outside; 0 when the time passed; -1 when the wait failed. IdTimeoutInfinite waits without
    // limit.
    int waitReadable(int timeoutMs);
    int waitWritable(int timeoutMs);

private:
    bool tryBindPort(int port);
    int waitFor(bool write, int timeoutMs);

    TIdStackRef m_stack;
    std::atomic<TIdStackSocketHandle> m_handle{Id_INVALID_SOCKET};
    // Guards the moment of closing against a shutdown from another thread, so that a handle number
    // is never shut down after the system gave it to another socket.
    std::mutex m_handleMutex;
    std::atomic<bool> m_shutFromOutside{false};
    TIdSocketAddress m_peer;
};

// The bindings of a server; a new binding takes the collection's default port.
class TIdSocketHandles {
public:
    int DefaultPort = 0;

    TIdSocketHandle& add();
    size_t count() const { return m_items.size(); }
    TIdSocketHandle& operator[](size_t index) { return *m_items[index]; }
    // Removes the bindings from index on.
    void truncate(size_t count);
    void clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TIdSocketHandle>> m_items;
};

}  // namespace velmora
