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
// Live connections of the publisher's server (its MaxConnections). One more takes the place of a
// connection that has not sent its request line yet, from the address that holds the most; without
// one it is answered 503.
inline constexpr int IdMaxConnections = 1024;
// Seconds a client refused with 503 is asked to wait (its Retry-After).
inline constexpr int IdBusyRetryAfterSeconds = 5;
// Connections in use, in percent of MaxConnections, beyond which the server counts as crowded.
inline constexpr int IdCrowdedPercent = 75;
// Milliseconds a connection that has sent nothing is held while the server is crowded.
inline constexpr int IdIdleTimeoutWhenCrowded = 5000;
// Milliseconds between two looks of a connection waiting for its first bytes at whether the server
// is crowded: how late past IdIdleTimeoutWhenCrowded it may be let go.
inline constexpr int IdCrowdingCheckInterval = 1000;
// Connections waiting for the listener in the system's queue (the publisher's ListenQueue; the
// system caps it at net.core.somaxconn). A client reopening the connections its limit closed comes
// in bursts; a fuller queue drops other clients' connection attempts, which then wait a second.
inline constexpr int IdListenQueueForBursts = 4096;
// Live connections from one client address; one more from that address is answered 503.
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
