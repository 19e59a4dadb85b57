#pragma once
// Sockets for tests on 127.0.0.0/8. Every call is checked: a failure throws std::system_error naming
// the call, which fails the test that made it. Listeners bind port 0 and report the port they got.
// One implementation per platform: LoopbackPosix.cpp, LoopbackWindows.cpp.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora::test {

// An owned socket, closed when the object goes.
class Socket {
public:
    Socket() = default;
    explicit Socket(std::intptr_t handle) : m_handle(handle) {}
    Socket(Socket&& other) noexcept : m_handle(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    ~Socket();

    std::intptr_t handle() const { return m_handle; }
    bool valid() const { return m_handle >= 0; }
    std::intptr_t release();
    void close();

    void sendAll(const std::string& bytes);
    // Everything until the peer closes (or resets, or the receive time-out passes).
    std::string receiveAll();
    // True when the peer closed or reset the connection, false when the time-out passed first.
    bool closedByPeer();
    // True when the peer sent something, closed or reset, false when the time-out passed first.
    bool heardFromPeer();
    // Closes with a reset instead of an orderly close.
    void reset();
    // One receive of at most size bytes: the count, 0 at the end, -1 on failure or time-out.
    long receiveSome(char* buffer, size_t size);
    void setReceiveTimeout(int milliseconds);

private:
    int fd() const { return static_cast<int>(m_handle); }
    std::intptr_t m_handle = -1;
};

// A listening socket on 127.0.0.1, bound to port 0.
class LoopbackListener {
public:
    explicit LoopbackListener(int backlog = 16);
    int port() const { return m_port; }
    int handle() const { return m_socket.handle(); }
    Socket accept();

private:
    Socket m_socket;
    int m_port = 0;
};

// A connection to 127.0.0.1:port, made from the source address from (127.0.0.2 and up make other
// clients) when it is not empty; receives give up after receiveTimeoutMs. A receiveBuffer of more
// than 0 bytes fixes the socket's receive buffer, so that a client that stops reading soon stops
// the sender too.
Socket connectLoopback(int port, const std::string& from = {}, int receiveTimeoutMs = 10000, int receiveBuffer = 0);
// As connectLoopback, but answers none when nothing listens on the port.
std::optional<Socket> tryConnectLoopback(int port, const std::string& from = {}, int receiveTimeoutMs = 10000,
                                         int receiveBuffer = 0);

// Whether another program's socket that reuses addresses can bind 127.0.0.1:port now; on Windows
// such a socket takes a port in use unless its holder bound it for exclusive use.
bool bindsReusingAddress(int port);

// A port for a program that binds it itself, such as velmora-server --port N: the port stays bound
// (with address reuse, not listening) while the object lives, so the system gives it to nobody else,
// while a server that reuses addresses too can still bind and listen on it.
class ReservedPort {
public:
    ReservedPort();
    int port() const { return m_port; }

private:
    Socket m_socket;
    int m_port = 0;
};

// Raises the soft limit of open descriptors to the hard one; answers whether at least wanted are
// allowed now.
bool allowDescriptors(long wanted);

}  // namespace velmora::test
