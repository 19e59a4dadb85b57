#pragma once
// What a connection reads from and writes to: a socket on the server, bytes in memory in tests and
// in the fuzz target. Failures answer -1 and leave their code as the thread's last error.

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace velmora {

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
    // Byte count, 0 at orderly close, -1 on failure; never blocks when nothing is ready (-1, EAGAIN).
    virtual ssize_t receiveReady(void* buffer, size_t length) = 0;
    // moreFollows lets the transport hold the bytes back until the next send, so a head and its body
    // share packets. May send fewer bytes than asked, or none (-1, EAGAIN) until waitWritable.
    virtual ssize_t send(const void* buffer, size_t length, bool moreFollows) = 0;
    // Whether sendFile is available; a transport without it gets files in pieces.
    virtual bool canSendFile() const = 0;
    // Sends up to count bytes of a file from its position, moving it; 0 when the file ended early,
    // -1 with EAGAIN when the transport takes nothing now.
    virtual ssize_t sendFile(int fileDescriptor, size_t count) = 0;
    // The peer's dotted IPv4 address.
    virtual std::string peerAddress() const = 0;
    virtual void close() = 0;
    // From another thread: wakes the owner's pending wait or receive, which then sees the end.
    virtual void closeFromOutside() = 0;
};

}  // namespace velmora
