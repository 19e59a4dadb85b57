#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <system_error>

#include "Loopback.h"

namespace velmora::test {

namespace {

// The test's own sockets need Windows Sockets started, whatever the program's stack does.
void startSockets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET socketOf(std::intptr_t handle)
{
    return static_cast<SOCKET>(handle);
}

int checked(int result, const char* call)
{
    if (result == SOCKET_ERROR)
        throw std::system_error(::WSAGetLastError(), std::system_category(), call);
    return result;
}

std::intptr_t newSocket()
{
    startSockets();
    SOCKET handle = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle == INVALID_SOCKET)
        throw std::system_error(::WSAGetLastError(), std::system_category(), "socket");
    return static_cast<std::intptr_t>(handle);
}

sockaddr_in loopbackAddress(const std::string& ip, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        throw std::system_error(WSAEINVAL, std::system_category(), "inet_pton " + ip);
    return address;
}

void bindTo(std::intptr_t handle, const sockaddr_in& address)
{
    checked(::bind(socketOf(handle), reinterpret_cast<const sockaddr*>(&address), sizeof address), "bind");
}

int boundPort(std::intptr_t handle)
{
    sockaddr_in address{};
    int length = sizeof address;
    checked(::getsockname(socketOf(handle), reinterpret_cast<sockaddr*>(&address), &length), "getsockname");
    return ntohs(address.sin_port);
}

template <class Value>
void setOption(std::intptr_t handle, int level, int option, const Value& value, const char* call)
{
    checked(::setsockopt(socketOf(handle), level, option, reinterpret_cast<const char*>(&value), sizeof value), call);
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
        ::closesocket(socketOf(release()));
}

void Socket::sendAll(const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const int sent = ::send(socketOf(m_handle), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        checked(sent, "send");
        done += static_cast<size_t>(sent);
    }
}

std::string Socket::receiveAll()
{
    std::string received;
    char buffer[65536];
    int got;
    while ((got = ::recv(socketOf(m_handle), buffer, sizeof buffer, 0)) > 0)
        received.append(buffer, static_cast<size_t>(got));
    return received;
}

namespace {

// One byte received within the socket's receive time-out: a waiting receive under Wine may
// outlast that time-out, so the wait is a select of that length. Answers the receive's result,
// or none when nothing came in time.
std::optional<int> receiveOneInTime(SOCKET socket)
{
    DWORD limit = 0;
    int size = sizeof limit;
    ::getsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&limit), &size);
    fd_set readable, failed;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    failed = readable;
    timeval wait{static_cast<long>(limit / 1000), static_cast<long>(limit % 1000) * 1000};
    if (::select(0, &readable, nullptr, &failed, limit == 0 ? nullptr : &wait) <= 0)
        return std::nullopt;
    char byte;
    return ::recv(socket, &byte, 1, 0);
}

}  // namespace

bool Socket::closedByPeer()
{
    const std::optional<int> got = receiveOneInTime(socketOf(m_handle));
    return got &&
        (*got == 0 || (*got < 0 && (::WSAGetLastError() == WSAECONNRESET || ::WSAGetLastError() == WSAECONNABORTED)));
}

bool Socket::heardFromPeer()
{
    return receiveOneInTime(socketOf(m_handle)).has_value();
}

void Socket::reset()
{
    const linger hard{1, 0};
    setOption(m_handle, SOL_SOCKET, SO_LINGER, hard, "setsockopt SO_LINGER");
    close();
}

long Socket::receiveSome(char* buffer, size_t size)
{
    return ::recv(socketOf(m_handle), buffer, static_cast<int>(size), 0);
}

void Socket::setReceiveTimeout(int milliseconds)
{
    const DWORD limit = static_cast<DWORD>(milliseconds);
    setOption(m_handle, SOL_SOCKET, SO_RCVTIMEO, limit, "setsockopt SO_RCVTIMEO");
}

LoopbackListener::LoopbackListener(int backlog) : m_socket(newSocket())
{
    bindTo(m_socket.handle(), loopbackAddress("127.0.0.1", 0));
    checked(::listen(socketOf(m_socket.handle()), backlog), "listen");
    m_port = boundPort(m_socket.handle());
}

Socket LoopbackListener::accept()
{
    SOCKET accepted = ::accept(socketOf(m_socket.handle()), nullptr, nullptr);
    if (accepted == INVALID_SOCKET)
        throw std::system_error(::WSAGetLastError(), std::system_category(), "accept");
    return Socket(static_cast<std::intptr_t>(accepted));
}

std::optional<Socket> tryConnectLoopback(int port, const std::string& from, int receiveTimeoutMs, int receiveBuffer)
{
    Socket client(newSocket());
    if (!from.empty())
        bindTo(client.handle(), loopbackAddress(from, 0));
    // Before connecting: the window the peer may fill is agreed then.
    if (receiveBuffer > 0)
        setOption(client.handle(), SOL_SOCKET, SO_RCVBUF, receiveBuffer, "setsockopt SO_RCVBUF");
    client.setReceiveTimeout(receiveTimeoutMs);
    sockaddr_in address = loopbackAddress("127.0.0.1", port);
    if (::connect(socketOf(client.handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (::WSAGetLastError() == WSAECONNREFUSED)
            return std::nullopt;
        throw std::system_error(::WSAGetLastError(), std::system_category(), "connect");
    }
    return client;
}

Socket connectLoopback(int port, const std::string& from, int receiveTimeoutMs, int receiveBuffer)
{
    std::optional<Socket> client = tryConnectLoopback(port, from, receiveTimeoutMs, receiveBuffer);
    if (!client)
        throw std::system_error(WSAECONNREFUSED, std::system_category(), "connect");
    return std::move(*client);
}

// A bound socket would keep the program's own exclusive bind from the port here, so the port is
// only found free and let go at once: a short race with other programs, never with this test.
bool bindsReusingAddress(int port)
{
    Socket other(newSocket());
    const BOOL on = TRUE;
    setOption(other.handle(), SOL_SOCKET, SO_REUSEADDR, on, "setsockopt SO_REUSEADDR");
    sockaddr_in address = loopbackAddress("127.0.0.1", port);
    return ::bind(socketOf(other.handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

ReservedPort::ReservedPort()
{
    Socket probe(newSocket());
    bindTo(probe.handle(), loopbackAddress("0.0.0.0", 0));
    m_port = boundPort(probe.handle());
}

// Sockets are kernel handles here, without a per-process limit.
bool allowDescriptors(long)
{
    return true;
}

}  // namespace velmora::test
