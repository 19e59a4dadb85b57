#include "Loopback.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace velmora::test {

namespace {

int checked(int result, const char* call)
{
    if (result < 0)
        throw std::system_error(errno, std::generic_category(), call);
    return result;
}

sockaddr_in loopbackAddress(const std::string& ip, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        throw std::system_error(EINVAL, std::generic_category(), "inet_pton " + ip);
    return address;
}

void bindTo(int handle, const sockaddr_in& address)
{
    checked(::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address), "bind");
}

int boundPort(int handle)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    checked(::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length), "getsockname");
    return ntohs(address.sin_port);
}

void setOption(int handle, int level, int option, const void* value, socklen_t length, const char* call)
{
    checked(::setsockopt(handle, level, option, value, length), call);
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        close();
        m_handle = other.release();
    }
    return *this;
}

Socket::~Socket()
{
    close();
}

std::intptr_t Socket::release()
{
    std::intptr_t handle = m_handle;
    m_handle = -1;
    return handle;
}

void Socket::close()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(release()));
}

void Socket::sendAll(const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        ssize_t sent = ::send(fd(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        checked(static_cast<int>(sent), "send");
        done += static_cast<size_t>(sent);
    }
}

std::string Socket::receiveAll()
{
    std::string received;
    char buffer[65536];
    ssize_t got;
    while ((got = ::recv(fd(), buffer, sizeof buffer, 0)) > 0)
        received.append(buffer, static_cast<size_t>(got));
    return received;
}

bool Socket::closedByPeer()
{
    char byte;
    ssize_t got = ::recv(fd(), &byte, 1, 0);
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

bool Socket::heardFromPeer()
{
    char byte;
    ssize_t got = ::recv(fd(), &byte, 1, 0);
    return got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
}

long Socket::receiveSome(char* buffer, size_t size)
{
    return static_cast<long>(::recv(fd(), buffer, size, 0));
}

void Socket::setReceiveTimeout(int milliseconds)
{
    timeval limit{milliseconds / 1000, static_cast<suseconds_t>(milliseconds % 1000) * 1000};
    setOption(fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit, "setsockopt SO_RCVTIMEO");
}

void Socket::reset()
{
    linger hard{1, 0};
    setOption(fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard, "setsockopt SO_LINGER");
    close();
}

LoopbackListener::LoopbackListener(int backlog)
    : m_socket(checked(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), "socket"))
{
    bindTo(static_cast<int>(m_socket.handle()), loopbackAddress("127.0.0.1", 0));
    checked(::listen(static_cast<int>(m_socket.handle()), backlog), "listen");
    m_port = boundPort(static_cast<int>(m_socket.handle()));
}

Socket LoopbackListener::accept()
{
    return Socket(checked(::accept4(static_cast<int>(m_socket.handle()), nullptr, nullptr, SOCK_CLOEXEC), "accept"));
}

std::optional<Socket> tryConnectLoopback(int port, const std::string& from, int receiveTimeoutMs, int receiveBuffer)
{
    Socket client(checked(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), "socket"));
    if (!from.empty()) {
        // The port is chosen at connect time, per destination: thousands of connections from one
        // address must not run out of ports.
        int on = 1;
        setOption(static_cast<int>(client.handle()), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on,
                  "setsockopt IP_BIND_ADDRESS_NO_PORT");
        bindTo(static_cast<int>(client.handle()), loopbackAddress(from, 0));
    }
    // Before connecting: the window the peer may fill is agreed then.
    if (receiveBuffer > 0)
        setOption(static_cast<int>(client.handle()), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer,
                  "setsockopt SO_RCVBUF");
    client.setReceiveTimeout(receiveTimeoutMs);
    sockaddr_in address = loopbackAddress("127.0.0.1", port);
    if (::connect(static_cast<int>(client.handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno == ECONNREFUSED)
            return std::nullopt;
        throw std::system_error(errno, std::generic_category(), "connect");
    }
    return client;
}

Socket connectLoopback(int port, const std::string& from, int receiveTimeoutMs, int receiveBuffer)
{
    std::optional<Socket> client = tryConnectLoopback(port, from, receiveTimeoutMs, receiveBuffer);
    if (!client)
        throw std::system_error(ECONNREFUSED, std::generic_category(), "connect");
    return std::move(*client);
}

bool bindsReusingAddress(int port)
{
    Socket other(checked(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), "socket"));
    int on = 1;
    setOption(static_cast<int>(other.handle()), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "setsockopt SO_REUSEADDR");
    sockaddr_in address = loopbackAddress("127.0.0.1", port);
    return ::bind(static_cast<int>(other.handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

ReservedPort::ReservedPort() : m_socket(checked(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), "socket"))
{
    int on = 1;
    setOption(static_cast<int>(m_socket.handle()), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "setsockopt SO_REUSEADDR");
    bindTo(static_cast<int>(m_socket.handle()), loopbackAddress("0.0.0.0", 0));
    m_port = boundPort(static_cast<int>(m_socket.handle()));
}

bool allowDescriptors(long wanted)
{
    rlimit limit{};
    checked(::getrlimit(RLIMIT_NOFILE, &limit), "getrlimit");
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        checked(::setrlimit(RLIMIT_NOFILE, &limit), "setrlimit");
    }
    return limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= static_cast<rlim_t>(wanted);
}

}  // namespace velmora::test
