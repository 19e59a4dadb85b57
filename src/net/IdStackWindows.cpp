#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <mutex>
#include <vector>

// The system's FormatMessage macro would rename the program's own function in this file.
#undef FormatMessage

#include "net/IdStackWindows.h"
#include "net/LocalAddresses.h"

namespace velmora {

const int Id_WSAEINTR = WSAEINTR;
const int Id_WSAEBADF = WSAEBADF;
const int Id_WSAEINVAL = WSAEINVAL;
const int Id_WSAEWOULDBLOCK = WSAEWOULDBLOCK;
const int Id_WSAENOTSOCK = WSAENOTSOCK;
const int Id_WSAEADDRINUSE = WSAEADDRINUSE;
const int Id_WSAESHUTDOWN = WSAESHUTDOWN;
const int Id_WSAECONNABORTED = WSAECONNABORTED;
const int Id_WSAECONNRESET = WSAECONNRESET;
const int Id_WSAEINPROGRESS = WSAEINPROGRESS;
const int Id_WSAECONNREFUSED = WSAECONNREFUSED;
const int Id_WSAETIMEDOUT = WSAETIMEDOUT;
const int Id_WSAEACCES = WSAEACCES;

static_assert(Id_PF_INET == AF_INET && Id_SOCK_STREAM == SOCK_STREAM);
static_assert(Id_SD_Send == SD_SEND && Id_SD_Both == SD_BOTH);
static_assert(static_cast<TIdStackSocketHandle>(INVALID_SOCKET) == Id_INVALID_SOCKET);

namespace {

std::once_flag g_startup;
int g_startupCount = 0;
bool g_started = false;

// Windows Sockets 2.2, once per process; it stays started until the process ends.
void startPlatform()
{
    WSADATA data{};
    g_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (g_started)
        ++g_startupCount;
}

SOCKET socketOf(TIdStackSocketHandle handle)
{
    return static_cast<SOCKET>(handle);
}

sockaddr_in makeAddress(int family, int port, const std::string& ip)
{
    sockaddr_in address{};
    address.sin_family = static_cast<ADDRESS_FAMILY>(family);
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(ip.empty() ? INADDR_ANY : TIdStack::textToAddress(ip));
    return address;
}

TIdSocketAddress fromAddress(const sockaddr_in& address)
{
    return {TIdStack::addressToText(ntohl(address.sin_addr.s_addr)), ntohs(address.sin_port)};
}

int clamped(size_t length)
{
    return static_cast<int>(std::min<size_t>(length, 1u << 30));
}

int setOption(TIdStackSocketHandle handle, int level, int option, int value)
{
    return ::setsockopt(socketOf(handle), level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

// The platform's wait takes a time structure, or none to wait without limit.
int waitFor(fd_set* read, fd_set* write, fd_set* error, int timeoutMs)
{
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, read, write, error, timeoutMs == IdTimeoutInfinite ? nullptr : &limit);
}

}  // namespace

int StackStartupCount()
{
    return g_startupCount;
}

TIdStack* NewPlatformStack()
{
    return new TIdStackWindows;
}

TIdStackWindows::TIdStackWindows()
{
    std::call_once(g_startup, startPlatform);
    if (!g_started)
        throw EIdStackInitializationFailed(RSWinsockInitializationError);
}

TIdStackSocketHandle TIdStackWindows::createSocket(int type, int protocol)
{
    // Not inherited: a program this one starts must not keep the port's connections open.
    SOCKET handle = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle == INVALID_SOCKET)
        throw EIdInvalidSocket(RSCannotAllocateSocket);
    return static_cast<TIdStackSocketHandle>(handle);
}

namespace {

bool hasTcpListener(int port)
{
    std::vector<char> bytes;
    DWORD size = 0;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 3 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        bytes.resize(size);
        result = ::GetExtendedTcpTable(bytes.data(), &size, FALSE, AF_INET, TCP_TABLE_BASIC_LISTENER, 0);
    }
    if (result != NO_ERROR || bytes.empty())
        return false;
    const auto* table = reinterpret_cast<const MIB_TCPTABLE*>(bytes.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        if (ntohs(static_cast<u_short>(table->table[i].dwLocalPort)) == port)
            return true;
    return false;
}

}  // namespace

int TIdStackWindows::bind(TIdStackSocketHandle handle, int family, int port, const std::string& ip)
{
    sockaddr_in address = makeAddress(family, port, ip);
    const int result = ::bind(socketOf(handle), reinterpret_cast<sockaddr*>(&address), sizeof address);
    // A port that another program holds for its exclusive use is refused as access denied, as is a
    // port the system keeps out of use; a listener on the port tells that it is simply in use.
    if (result != 0 && ::WSAGetLastError() == WSAEACCES && port != 0 && hasTcpListener(port))
        ::WSASetLastError(WSAEADDRINUSE);
    return result;
}

int TIdStackWindows::listen(TIdStackSocketHandle handle, int backlog)
{
    return ::listen(socketOf(handle), backlog);
}

TIdStackSocketHandle TIdStackWindows::accept(TIdStackSocketHandle handle, TIdSocketAddress& peer)
{
    sockaddr_in address{};
    int length = sizeof address;
    SOCKET result = ::accept(socketOf(handle), reinterpret_cast<sockaddr*>(&address), &length);
    if (result == INVALID_SOCKET)
        return Id_INVALID_SOCKET;
    peer = fromAddress(address);
    setNonBlocking(static_cast<TIdStackSocketHandle>(result));
    return static_cast<TIdStackSocketHandle>(result);
}

int TIdStackWindows::connect(TIdStackSocketHandle handle, int family, int port, const std::string& ip)
{
    sockaddr_in address = makeAddress(family, port, ip);
    return ::connect(socketOf(handle), reinterpret_cast<sockaddr*>(&address), sizeof address);
}

// Windows has no flag that keeps one receive from waiting: a socket that holds nothing yet answers
// as a non-blocking one would. There is no partial-packet hold for Id_MSG_More either.
int64_t TIdStackWindows::receive(TIdStackSocketHandle handle, void* buffer, size_t length, int flags)
{
    if ((flags & Id_MSG_DontWait) && waitReadable(handle, 0) == 0) {
        ::WSASetLastError(WSAEWOULDBLOCK);
        return -1;
    }
    return ::recv(socketOf(handle), static_cast<char*>(buffer), clamped(length), 0);
}

int64_t TIdStackWindows::send(TIdStackSocketHandle handle, const void* buffer, size_t length, int)
{
    return ::send(socketOf(handle), static_cast<const char*>(buffer), clamped(length), 0);
}

int64_t TIdStackWindows::sendFile(TIdStackSocketHandle, std::intptr_t, size_t)
{
    ::WSASetLastError(WSAEOPNOTSUPP);
    return -1;
}

int TIdStackWindows::select(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeoutMs)
{
    TIdSocketList* lists[] = {read, write, error};
    fd_set sets[3];
    fd_set* given[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!lists[i])
            continue;
        if (lists[i]->size() > IdMaxWaitHandles)
            throw EIdStackSetSizeExceeded(RSStackSetSizeExceeded);
        FD_ZERO(&sets[i]);
        for (TIdStackSocketHandle handle : *lists[i])
            FD_SET(socketOf(handle), &sets[i]);
        given[i] = &sets[i];
    }
    // The platform refuses a wait on no socket at all; waiting for nothing is only a pause.
    if (!given[0] && !given[1] && !given[2]) {
        ::Sleep(timeoutMs == IdTimeoutInfinite ? INFINITE : static_cast<DWORD>(timeoutMs));
        return 0;
    }
    const int result = waitFor(given[0], given[1], given[2], timeoutMs);
    if (result < 0)
        return result;
    for (int i = 0; i < 3; ++i) {
        if (!lists[i])
            continue;
        TIdSocketList kept;
        for (TIdStackSocketHandle handle : *lists[i])
            if (FD_ISSET(socketOf(handle), &sets[i]))
                kept.push_back(handle);
        *lists[i] = std::move(kept);
    }
    return result;
}

int TIdStackWindows::waitReadable(TIdStackSocketHandle handle, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socketOf(handle), &readable);
    // A failed connection reports through the error set, not the readable one.
    fd_set failed = readable;
    const int result = waitFor(&readable, nullptr, &failed, timeoutMs);
    return result > 0 ? 1 : result;
}

int TIdStackWindows::shutdown(TIdStackSocketHandle handle, int how)
{
    return ::shutdown(socketOf(handle), how);
}

int TIdStackWindows::closeSocket(TIdStackSocketHandle handle)
{
    return ::closesocket(socketOf(handle));
}

int TIdStackWindows::setNoDelay(TIdStackSocketHandle handle)
{
    return setOption(handle, IPPROTO_TCP, TCP_NODELAY, 1);
}

int TIdStackWindows::setNonBlocking(TIdStackSocketHandle handle)
{
    u_long on = 1;
    return ::ioctlsocket(socketOf(handle), FIONBIO, &on);
}

// Windows lets a socket with SO_REUSEADDR bind a port that another program listens on, so that a
// second copy would start without a word: the listener takes its port exclusively instead, and a
// port whose old connections linger is free at once anyway.
int TIdStackWindows::prepareListener(TIdStackSocketHandle handle, bool)
{
    return setOption(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
}

int TIdStackWindows::pendingError(TIdStackSocketHandle handle)
{
    int error = 0;
    int length = sizeof error;
    return ::getsockopt(socketOf(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0
        ? error
        : ::WSAGetLastError();
}

// Sockets are kernel handles without a per-process limit to raise.
void TIdStackWindows::raiseHandleLimit()
{
}

TIdSocketAddress TIdStackWindows::localName(TIdStackSocketHandle handle)
{
    sockaddr_in address{};
    int length = sizeof address;
    CheckSocketResult(::getsockname(socketOf(handle), reinterpret_cast<sockaddr*>(&address), &length), {});
    return fromAddress(address);
}

TIdSocketAddress TIdStackWindows::peerName(TIdStackSocketHandle handle)
{
    sockaddr_in address{};
    int length = sizeof address;
    CheckSocketResult(::getpeername(socketOf(handle), reinterpret_cast<sockaddr*>(&address), &length), {});
    return fromAddress(address);
}

int TIdStackWindows::lastError()
{
    return ::WSAGetLastError();
}

std::string TIdStackWindows::hostName()
{
    char name[250] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::optional<std::string> TIdStackWindows::hostByName(const std::string& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    auto text = fromAddress(*reinterpret_cast<sockaddr_in*>(found->ai_addr)).IP;
    ::freeaddrinfo(found);
    return text;
}

std::optional<std::string> TIdStackWindows::hostByAddress(const std::string& ip)
{
    if (!tryTextToAddress(ip))
        return std::nullopt;
    sockaddr_in socketAddress = makeAddress(AF_INET, 0, ip);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return std::nullopt;
    return host;
}

std::vector<std::string> TIdStackWindows::localAddresses()
{
    return LocalIPv4Addresses();
}

int TIdStackWindows::serviceByName(const std::string& name)
{
    // Windows Sockets keeps the answer of each thread apart.
    if (const servent* found = ::getservbyname(name.c_str(), "tcp"))  // NOLINT(concurrency-mt-unsafe)
        return ntohs(static_cast<u_short>(found->s_port));
    bool digits = !name.empty() && name.size() <= 5;
    for (char c : name)
        digits = digits && c >= '0' && c <= '9';
    if (!digits || std::stoi(name) > 65535)
        throw EIdInvalidServiceName(FormatMessage(RSInvalidServiceName, {name}));
    return std::stoi(name);
}

std::vector<std::string> TIdStackWindows::serviceByPort(int port)
{
    std::vector<std::string> names;
    // Windows Sockets keeps the answer of each thread apart.
    const servent* found = ::getservbyport(htons(static_cast<u_short>(port)), "tcp");  // NOLINT(concurrency-mt-unsafe)
    if (!found)
        return names;
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias)
        names.emplace_back(*alias);
    return names;
}

}  // namespace velmora
