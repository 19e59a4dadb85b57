#include "net/IdStackPosix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/LocalAddresses.h"

namespace velmora {

const int Id_WSAEINTR = EINTR;
const int Id_WSAEBADF = EBADF;
const int Id_WSAEINVAL = EINVAL;
const int Id_WSAEWOULDBLOCK = EWOULDBLOCK;
const int Id_WSAENOTSOCK = ENOTSOCK;
const int Id_WSAEADDRINUSE = EADDRINUSE;
const int Id_WSAESHUTDOWN = ESHUTDOWN;
const int Id_WSAECONNABORTED = ECONNABORTED;
const int Id_WSAECONNRESET = ECONNRESET;
const int Id_WSAEINPROGRESS = EINPROGRESS;
const int Id_WSAECONNREFUSED = ECONNREFUSED;
const int Id_WSAETIMEDOUT = ETIMEDOUT;
const int Id_WSAEACCES = EACCES;

static_assert(Id_PF_INET == AF_INET && Id_SOCK_STREAM == SOCK_STREAM);
static_assert(Id_SD_Send == SHUT_WR && Id_SD_Both == SHUT_RDWR);
static_assert(EAGAIN == EWOULDBLOCK, "a receive that finds nothing answers one code");

namespace {

std::once_flag g_startup;
int g_startupCount = 0;

// Writing to a peer that has gone raises SIGPIPE, whose default action ends the process; sends use
// MSG_NOSIGNAL, but file sends have no such flag, so the signal is ignored unless someone handles it.
void startPlatform()
{
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
    ++g_startupCount;
}

sockaddr_in makeAddress(int family, int port, const std::string& ip)
{
    sockaddr_in address{};
    address.sin_family = static_cast<sa_family_t>(family);
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(ip.empty() ? INADDR_ANY : TIdStack::textToAddress(ip));
    return address;
}

TIdSocketAddress fromAddress(const sockaddr_in& address)
{
    return {TIdStack::addressToText(ntohl(address.sin_addr.s_addr)), ntohs(address.sin_port)};
}

int platformFlags(int flags)
{
    return ((flags & Id_MSG_DontWait) ? MSG_DONTWAIT : 0) | ((flags & Id_MSG_More) ? MSG_MORE : 0);
}

int setOption(TIdStackSocketHandle handle, int level, int option, int value)
{
    return ::setsockopt(static_cast<int>(handle), level, option, &value, sizeof value);
}

template <class Call>
int64_t retryInterrupted(Call call)
{
    int64_t result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    return result;
}

short pollEvents(bool read, bool write)
{
    return static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0));
}

}  // namespace

int StackStartupCount()
{
    return g_startupCount;
}

TIdStack* NewPlatformStack()
{
    return new TIdStackPosix;
}

TIdStackPosix::TIdStackPosix()
{
    std::call_once(g_startup, startPlatform);
}

TIdStackSocketHandle TIdStackPosix::createSocket(int type, int protocol)
{
    int handle = ::socket(AF_INET, type | SOCK_CLOEXEC, protocol);
    if (handle < 0)
        throw EIdInvalidSocket(RSCannotAllocateSocket);
    return handle;
}

int TIdStackPosix::bind(TIdStackSocketHandle handle, int family, int port, const std::string& ip)
{
    sockaddr_in address = makeAddress(family, port, ip);
    return ::bind(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), sizeof address);
}

int TIdStackPosix::listen(TIdStackSocketHandle handle, int backlog)
{
    return ::listen(static_cast<int>(handle), backlog);
}

TIdStackSocketHandle TIdStackPosix::accept(TIdStackSocketHandle handle, TIdSocketAddress& peer)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int result = ::accept4(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), &length,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (result >= 0)
        peer = fromAddress(address);
    return result;
}

int TIdStackPosix::connect(TIdStackSocketHandle handle, int family, int port, const std::string& ip)
{
    sockaddr_in address = makeAddress(family, port, ip);
    return ::connect(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), sizeof address);
}

int64_t TIdStackPosix::receive(TIdStackSocketHandle handle, void* buffer, size_t length, int flags)
{
    return retryInterrupted([&] { return ::recv(static_cast<int>(handle), buffer, length, platformFlags(flags)); });
}

int64_t TIdStackPosix::send(TIdStackSocketHandle handle, const void* buffer, size_t length, int flags)
{
    return retryInterrupted(
        [&] { return ::send(static_cast<int>(handle), buffer, length, platformFlags(flags) | MSG_NOSIGNAL); });
}

int64_t TIdStackPosix::sendFile(TIdStackSocketHandle handle, std::intptr_t file, size_t count)
{
    return retryInterrupted(
        [&] { return ::sendfile(static_cast<int>(handle), static_cast<int>(file), nullptr, count); });
}

int TIdStackPosix::select(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeoutMs)
{
    // poll instead of select: handle numbers above FD_SETSIZE must not overrun a handle set.
    TIdSocketList* lists[] = {read, write, error};
    std::vector<pollfd> entries;
    for (auto* list : lists) {
        if (!list)
            continue;
        if (list->size() > IdMaxWaitHandles)
            throw EIdStackSetSizeExceeded(RSStackSetSizeExceeded);
        for (TIdStackSocketHandle handle : *list)
            entries.push_back({static_cast<int>(handle), pollEvents(list == read, list == write), 0});
    }
    int result = ::poll(entries.data(), entries.size(), timeoutMs == IdTimeoutInfinite ? -1 : timeoutMs);
    if (result < 0)
        return result;
    size_t next = 0;
    int ready = 0;
    const short readyEvents[] = {POLLIN | POLLHUP | POLLERR, POLLOUT | POLLERR | POLLHUP, POLLERR | POLLPRI};
    for (int i = 0; i < 3; ++i) {
        if (!lists[i])
            continue;
        TIdSocketList kept;
        for (size_t j = 0; j < lists[i]->size(); ++j, ++next)
            if (entries[next].revents & (readyEvents[i] | POLLNVAL))
                kept.push_back(entries[next].fd);
        ready += static_cast<int>(kept.size());
        *lists[i] = std::move(kept);
    }
    return ready;
}

int TIdStackPosix::waitReadable(TIdStackSocketHandle handle, int timeoutMs)
{
    pollfd entry{static_cast<int>(handle), POLLIN, 0};
    int result = ::poll(&entry, 1, timeoutMs == IdTimeoutInfinite ? -1 : timeoutMs);
    return result > 0 ? 1 : result;
}

int TIdStackPosix::shutdown(TIdStackSocketHandle handle, int how)
{
    return ::shutdown(static_cast<int>(handle), how);
}

int TIdStackPosix::closeSocket(TIdStackSocketHandle handle)
{
    return ::close(static_cast<int>(handle));
}

int TIdStackPosix::setNoDelay(TIdStackSocketHandle handle)
{
    return setOption(handle, IPPROTO_TCP, TCP_NODELAY, 1);
}

int TIdStackPosix::setNonBlocking(TIdStackSocketHandle handle)
{
    const int fd = static_cast<int>(handle);
    return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

int TIdStackPosix::prepareListener(TIdStackSocketHandle handle, bool reuseAddress)
{
    // A port another socket listens on is refused here whatever the option says; without it a
    // restarted server could not bind while old connections linger in TIME_WAIT.
    return reuseAddress ? setOption(handle, SOL_SOCKET, SO_REUSEADDR, 1) : 0;
}

// The usual soft limit of 1024 descriptors would refuse connections long before the server's
// MaxConnections; raising it to the hard limit needs no privilege.
void TIdStackPosix::raiseHandleLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

int TIdStackPosix::pendingError(TIdStackSocketHandle handle)
{
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(static_cast<int>(handle), SOL_SOCKET, SO_ERROR, &error, &length) == 0 ? error : errno;
}

TIdSocketAddress TIdStackPosix::localName(TIdStackSocketHandle handle)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CheckSocketResult(::getsockname(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), &length), {});
    return fromAddress(address);
}

TIdSocketAddress TIdStackPosix::peerName(TIdStackSocketHandle handle)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CheckSocketResult(::getpeername(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), &length), {});
    return fromAddress(address);
}

int TIdStackPosix::lastError()
{
    return errno;
}

std::string TIdStackPosix::hostName()
{
    char name[250] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::optional<std::string> TIdStackPosix::hostByName(const std::string& name)
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

std::optional<std::string> TIdStackPosix::hostByAddress(const std::string& ip)
{
    auto address = tryTextToAddress(ip);
    if (!address)
        return std::nullopt;
    sockaddr_in socketAddress = makeAddress(AF_INET, 0, ip);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return std::nullopt;
    return host;
}

std::vector<std::string> TIdStackPosix::localAddresses()
{
    return LocalIPv4Addresses();
}

int TIdStackPosix::serviceByName(const std::string& name)
{
    servent entry{};
    servent* found = nullptr;
    char scratch[1024];
    if (::getservbyname_r(name.c_str(), "tcp", &entry, scratch, sizeof scratch, &found) == 0 && found)
        return ntohs(static_cast<uint16_t>(found->s_port));
    bool digits = !name.empty() && name.size() <= 5;
    for (char c : name)
        digits = digits && c >= '0' && c <= '9';
    if (!digits || std::stoi(name) > 65535)
        throw EIdInvalidServiceName(FormatMessage(RSInvalidServiceName, {name}));
    return std::stoi(name);
}

std::vector<std::string> TIdStackPosix::serviceByPort(int port)
{
    std::vector<std::string> names;
    servent entry{};
    servent* found = nullptr;
    char scratch[1024];
    if (::getservbyport_r(htons(static_cast<uint16_t>(port)), "tcp", &entry, scratch, sizeof scratch, &found) != 0 ||
        !found)
        return names;
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias)
        names.emplace_back(*alias);
    return names;
}

}  // namespace velmora
