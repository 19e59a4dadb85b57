#pragma once
// The process-wide socket stack: the one place that calls the system's TCP/IPv4 interface, through
// one implementation per platform (IdStackPosix, IdStackWindows). A failing call raises nothing;
// CheckSocketResult only tells the caller whether a failure it expected happened.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "net/IdException.h"
#include "net/Limits.h"

namespace velmora {

// A descriptor on POSIX systems, the unsigned socket number on Windows; all bits set is no socket.
using TIdStackSocketHandle = std::intptr_t;
inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;
// The same numbers on every platform the program runs on.
inline constexpr int Id_PF_INET = 2;
inline constexpr int Id_SOCK_STREAM = 1;
inline constexpr int Id_SD_Send = 1;
inline constexpr int Id_SD_Both = 2;

// Flags of receive and send, which each platform turns into its own.
// Answer at once when nothing is ready instead of waiting.
inline constexpr int Id_MSG_DontWait = 1;
// More bytes follow at once: a partial packet may wait for them.
inline constexpr int Id_MSG_More = 2;

// The failure codes that callers list as expected, as the platform spells them.
extern const int Id_WSAEINTR;
extern const int Id_WSAEBADF;
extern const int Id_WSAEINVAL;
extern const int Id_WSAEWOULDBLOCK;
extern const int Id_WSAENOTSOCK;
extern const int Id_WSAEADDRINUSE;
extern const int Id_WSAESHUTDOWN;
extern const int Id_WSAECONNABORTED;
extern const int Id_WSAECONNRESET;
extern const int Id_WSAEINPROGRESS;
extern const int Id_WSAECONNREFUSED;
extern const int Id_WSAETIMEDOUT;
extern const int Id_WSAEACCES;

// A readiness wait with this timeout waits without limit.
inline constexpr int IdTimeoutInfinite = -2;

class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdStackInitializationFailed : public EIdStackError {
public:
    using EIdStackError::EIdStackError;
};
class EIdStackSetSizeExceeded : public EIdStackError {
public:
    using EIdStackError::EIdStackError;
};
class EIdInvalidIPAddress : public EIdStackError {
public:
    using EIdStackError::EIdStackError;
};
class EIdInvalidSocket : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdInvalidServiceName : public EIdException {
public:
    using EIdException::EIdException;
};

inline constexpr const char* RSWinsockInitializationError = "Winsock Initialization Error.";
inline constexpr const char* RSStackSetSizeExceeded = "Set Size Exceeded.";
inline constexpr const char* RSStackInvalidIP = "%s is not a valid IP address.";
inline constexpr const char* RSCannotAllocateSocket = "Cannot allocate socket.";
inline constexpr const char* RSInvalidServiceName = "%s is not a valid service.";

using TIdSocketList = std::vector<TIdStackSocketHandle>;

struct TIdSocketAddress {
    std::string IP;
    int Port = 0;
};

class TIdStack {
public:
    virtual ~TIdStack() = default;

    // Throws EIdInvalidSocket when no socket can be made.
    virtual TIdStackSocketHandle createSocket(int type, int protocol) = 0;
    // An empty ip binds to every local address; a bad ip throws EIdInvalidIPAddress.
    virtual int bind(TIdStackSocketHandle handle, int family, int port, const std::string& ip) = 0;
    virtual int listen(TIdStackSocketHandle handle, int backlog) = 0;
    // Answers Id_INVALID_SOCKET on failure; peer is filled on success. The accepted socket does not
    // block: its sends and receives wait for readiness themselves (on Linux it comes so from the
    // accept, without a further call).
    virtual TIdStackSocketHandle accept(TIdStackSocketHandle handle, TIdSocketAddress& peer) = 0;
    virtual int connect(TIdStackSocketHandle handle, int family, int port, const std::string& ip) = 0;
    // Byte count, 0 at orderly close, -1 on failure. Flags are Id_MSG_ values.
    virtual int64_t receive(TIdStackSocketHandle handle, void* buffer, size_t length, int flags) = 0;
    virtual int64_t send(TIdStackSocketHandle handle, const void* buffer, size_t length, int flags) = 0;
    // Whether sendFile hands files to the socket here; without it, files go in pieces.
    virtual bool canSendFile() const = 0;
    // Sends count bytes of an open file (a file system handle) from its current position; -1 on
    // failure.
    virtual int64_t sendFile(TIdStackSocketHandle handle, std::intptr_t file, size_t count) = 0;
    // Rewrites each given list to hold only its ready handles; answers the count of ready handles,
    // 0 on timeout, -1 on failure. More than IdMaxWaitHandles in a list throws EIdStackSetSizeExceeded.
    virtual int select(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeoutMs) = 0;
    // One handle: 1 when readable (or closed), 0 on timeout, -1 on failure.
    virtual int waitReadable(TIdStackSocketHandle handle, int timeoutMs) = 0;
    virtual int shutdown(TIdStackSocketHandle handle, int how) = 0;
    virtual int closeSocket(TIdStackSocketHandle handle) = 0;
    // The socket options this program sets, each as the platform spells it.
    // Sends go out at once instead of waiting to fill a packet.
    virtual int setNoDelay(TIdStackSocketHandle handle) = 0;
    // Receives and sends answer at once instead of waiting; callers wait for readiness themselves.
    virtual int setNonBlocking(TIdStackSocketHandle handle) = 0;
    // Before a listening socket binds: no other program may take its port while it listens, and,
    // where reuse is asked, its port is free again at once when a previous listener ends.
    virtual int prepareListener(TIdStackSocketHandle handle, bool reuseAddress) = 0;
    // The socket's pending error, as a connect that was under way ended; 0 when it succeeded.
    virtual int pendingError(TIdStackSocketHandle handle) = 0;
    // Whether a shutdown from another thread ends a wait on the socket at once; where it does not,
    // waits look for it in slices.
    virtual bool shutdownEndsWaits() const = 0;
    // Lets the process hold as many sockets and files as the system allows without privilege.
    virtual void raiseHandleLimit() = 0;
    virtual TIdSocketAddress localName(TIdStackSocketHandle handle) = 0;
    virtual TIdSocketAddress peerName(TIdStackSocketHandle handle) = 0;
    // The calling thread's last failure code.
    virtual int lastError() = 0;
    virtual std::string hostName() = 0;
    // Answers none when the name cannot be looked up.
    virtual std::optional<std::string> hostByName(const std::string& name) = 0;
    virtual std::optional<std::string> hostByAddress(const std::string& ip) = 0;
    // Every IPv4 address of this host's interfaces that are up: the default route's first, loopback
    // last, link-local ones left out; empty when the interfaces cannot be read.
    virtual std::vector<std::string> localAddresses() = 0;
    // Throws EIdInvalidServiceName for a name that is neither a known service nor a number.
    virtual int serviceByName(const std::string& name) = 0;
    // The service name and its aliases; empty for an unknown port.
    virtual std::vector<std::string> serviceByPort(int port) = 0;

    // The first local address, or empty.
    std::string localAddress();
    // "LOCALHOST" in any letter case and IP texts answer without a lookup; an unknown host answers empty.
    std::string resolveHost(const std::string& host);

    // True only when result is -1 and the thread's last error is one of the expected codes.
    bool CheckSocketResult(int result, std::initializer_list<int> expected);

    // One to four dotted decimal parts; answers none for any other text.
    static std::optional<uint32_t> tryTextToAddress(const std::string& text);
    // As tryTextToAddress; throws EIdInvalidIPAddress.
    static uint32_t textToAddress(const std::string& text);
    static bool isIP(const std::string& text) { return tryTextToAddress(text).has_value(); }
    // The address (host order) as four dotted decimal bytes.
    static std::string addressToText(uint32_t address);
};

// A new stack of this platform (TIdStackPosix, TIdStackWindows); throws
// EIdStackInitializationFailed when the system's sockets cannot start.
TIdStack* NewPlatformStack();

// The stack while at least one network component lives, else none.
TIdStack* SocketStack();

// Held by every network component: the first brings the stack into being, the last one gone ends it.
class TIdStackRef {
public:
    TIdStackRef();
    ~TIdStackRef();
    TIdStackRef(const TIdStackRef&);
    TIdStackRef& operator=(const TIdStackRef&) = delete;
    TIdStack& stack() const;
};

// How many network components live now.
int StackComponentCount();
// How many times the platform's one-time start-up has run in this process (0 or 1).
int StackStartupCount();

}  // namespace velmora
