#pragma once
// The live connections of a server counted by client address, and who gets in when the server is
// full: a newcomer takes the place of a connection that has not sent its first request line yet,
// from the address that holds the most, so that a few hosts holding idle connections never lock
// the others out. Not thread-safe: the server keeps it under its own lock.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

namespace velmora {

class TIdConnectionCensus {
public:
    struct TAdmission {
        bool Admitted = false;
        // The connection to close so that the newcomer fits; it no longer counts from now on.
        std::optional<uint64_t> Closing;
    };

    // Live connections at most, and from one address at most (0 = no limit).
    int MaxConnections = 0;
    int MaxConnectionsPerClient = 0;

    // Counts the connection (tickets rise with each accept) unless its address is at its limit.
    // When the server is full, it takes the place of the oldest connection still waiting for its
    // first request line of the other address that holds the most connections (of several that hold
    // as many, the one whose waiting connection is oldest), if the newcomer's address holds none yet
    // or that address keeps at least as many as the newcomer's after the swap; refused otherwise.
    TAdmission admit(const std::string& address, uint64_t ticket);
    // The connection has its first request line: it can no longer be closed for a newcomer.
    void requestLineArrived(uint64_t ticket);
    // The connection has ended; nothing for a ticket not counted.
    void remove(uint64_t ticket);

    // Connections that count against the limits.
    size_t count() const { return m_count; }
    // More than three quarters of MaxConnections are taken.
    bool crowded() const;

private:
    struct TClient {
        int Connections = 0;
        // Tickets of the connections still waiting for their first request line, oldest first.
        std::set<uint64_t> Waiting;
    };
    struct TConnection {
        std::string Address;
        bool Counted = true;
    };

    // The connection whose place a newcomer from the address, which holds that many, takes.
    std::optional<uint64_t> placeFor(const std::string& address, int held) const;
    // It no longer counts, for its address or in all.
    void uncount(uint64_t ticket, TConnection& connection);

    std::unordered_map<std::string, TClient> m_clients;
    std::unordered_map<uint64_t, TConnection> m_connections;
    size_t m_count = 0;
};

}  // namespace velmora
