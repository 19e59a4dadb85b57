#pragma once
// What a connection reads from and writes to: a socket on the server, bytes in memory in tests and
// in the fuzz target. Failures answer -1 and leave their code as the thread's last error.

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// What a receive or send answers when the transport holds or takes nothing now.
inline constexpr int64_t IdNothingReady = -2;

class TIdIOHandler {
public:
    virtual ~TIdIOHandler() = default;

    // True while a socket (or its stand-in) is held.
    virtual bool connected() const = 0;
    // 1 when bytes (or the end) can be read, 0 on timeout, -1 on failure. -2 waits without limit.
    virtual int waitReadable(int timeoutMs) = 0;
    // 1 when bytes can be sent (or the connection failed), 0 on timeout, -1 on failure. -2 waits
    // without limit.
    virtual int waitWritable(int timeoutMs) = 0;
    // Byte count, 0 at orderly close, -1 on failure; never blocks: IdNothingReady when nothing is
    // ready.
    virtual int64_t receiveReady(void* buffer, size_t length) = 0;
    // moreFollows lets the transport hold the bytes back until the next send, so a head and its body
    // share packets. May send fewer bytes than asked, or none (IdNothingReady) until waitWritable.
    virtual int64_t send(const void* buffer, size_t length, bool moreFollows) = 0;
    // Whether sendFile is available; a transport without it gets files in pieces.
    virtual bool canSendFile() const = 0;
    // Sends up to count bytes of a file (a file system handle) from its position, moving it; 0 when
    // the file ended early, IdNothingReady when the transport takes nothing now.
    virtual int64_t sendFile(std::intptr_t file, size_t count) = 0;
    // The peer's dotted IPv4 address.
    virtual std::string peerAddress() const = 0;
    virtual void close() = 0;
    // From another thread: wakes the owner's pending wait or receive, which then sees the end.
    virtual void closeFromOutside() = 0;
};

}  // namespace velmora
