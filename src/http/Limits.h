#pragma once
// Every bound that a client, or what it sends, can push the HTTP server against. Each is tested at
// the limit and one past it.

#include <cstddef>
#include <cstdint>

namespace velmora {

// Bytes of a request line without its line end; one more closes the connection without a reply.
inline constexpr int IdMaxRequestLineLength = 16384;
// Bytes of any other line a connection reads (its MaxLineLength unless changed).
inline constexpr int IdMaxLineLengthDefault = 16384;
// Header lines of one request, and their bytes together; one more closes without a reply.
inline constexpr size_t IdMaxHeaderLines = 100;
inline constexpr size_t IdMaxHeaderBytes = 64 * 1024;
// Bytes of a request body; a larger one is answered 413 and never read.
inline constexpr int32_t IdMaxRequestBody = 1024 * 1024;
// Milliseconds from the first wait for a request line to the end of its body; a slower request is
// closed without a reply. Also what an idle connection is held for.
inline constexpr int IdRequestTimeoutDefault = 30000;
// Milliseconds a send may go without any byte leaving before its connection is ended.
inline constexpr int IdSendTimeoutDefault = 60000;
// Live connections of the publisher's server (its MaxConnections); one more is closed at once.
inline constexpr int IdMaxConnections = 1024;
// Connections waiting for the listener in the system's queue (the publisher's ListenQueue; the
// system caps it at net.core.somaxconn). A client reopening the connections its limit closed comes
// in bursts; a fuller queue drops other clients' connection attempts, which then wait a second.
inline constexpr int IdListenQueueForBursts = 4096;
// Live connections from one client address; one more from that address is closed at once.
inline constexpr int IdMaxConnectionsPerClient = 256;
// Live sessions; starting one more first ends the least recently used session of the address that
// holds the most.
inline constexpr size_t IdMaxSessions = 10000;
// Milliseconds a session may stay idle before the cleaner ends it (the publisher's SessionTimeOut).
inline constexpr long long SessionTimeOutMs = 600000;
// Milliseconds between two passes of the session cleaner: how late past its time-out an idle
// session may end.
inline constexpr int IdSessionCleanInterval = 1000;

}  // namespace velmora
