#pragma once
// A HEAD request for "/" to one address and port, bounded in time, and what its reply head says:
// how the operator learns that the server answers on the address the phone will use, and whether
// a port is held by another copy of this program.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

struct TReplyHead {
    int StatusCode = 0;
    std::string Server;  // the "Server" header's value, empty when there is none
};

struct THttpProbeResult {
    enum class TOutcome { Answered, Refused, TimedOut, NotHttp, Failed };
    TOutcome Outcome = TOutcome::Failed;
    TReplyHead Head;  // for Answered
    std::string Error;  // for Failed: the system's reason
};

// The status and the "Server" header of a reply head (up to its blank line, or what arrived before
// the connection closed). Answers none when the bytes do not begin with an HTTP status line.
std::optional<TReplyHead> ParseReplyHead(std::string_view bytes);

// Connects to the IPv4 address and port, sends "HEAD / HTTP/1.1" and reads the reply's head,
// reading at most MaxProbeReplyBytes; the whole exchange ends within the limit. A token, when
// given, goes in OwnCheckHeader, which keeps this program's own server from logging the request.
// Never throws.
THttpProbeResult ProbeHttp(const std::string& address, int port, std::chrono::milliseconds limit,
                           const std::string& ownCheckToken = {});

// The panel's and the log's line about the server at serverAddress ("A:PORT"), and whether it
// answers: "Servidor acessível em A:PORT.", "Servidor ocupado em A:PORT: ..." when it is full, or
// "Servidor inacessível em A:PORT: REASON.".
std::string ReachabilityText(const std::string& serverAddress, const THttpProbeResult& result,
                             std::chrono::milliseconds limit, bool& reachable);

}  // namespace velmora
