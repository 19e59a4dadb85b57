#include "http/IdConnectionCensus.h"

#include "http/Limits.h"

namespace velmora {

TIdConnectionCensus::TAdmission TIdConnectionCensus::admit(const std::string& address, uint64_t ticket)
{
    auto own = m_clients.find(address);
    const int held = own == m_clients.end() ? 0 : own->second.Connections;
    if (MaxConnectionsPerClient > 0 && held >= MaxConnectionsPerClient)
        return {};
    TAdmission admission;
    if (MaxConnections > 0 && m_count >= static_cast<size_t>(MaxConnections)) {
        admission.Closing = placeFor(address, held);
        if (!admission.Closing)
            return {};
        uncount(*admission.Closing, m_connections.at(*admission.Closing));
    }
    TClient& client = m_clients[address];
    ++client.Connections;
    client.Waiting.insert(ticket);
    m_connections.emplace(ticket, TConnection{address});
    ++m_count;
    admission.Admitted = true;
    return admission;
}

std::optional<uint64_t> TIdConnectionCensus::placeFor(const std::string& address, int held) const
{
    const TClient* most = nullptr;
    for (const auto& [other, client] : m_clients) {
        if (other == address || client.Waiting.empty())
            continue;
        // Of addresses that hold as many, the one whose waiting connection is oldest gives way.
        if (!most || client.Connections > most->Connections ||
            (client.Connections == most->Connections && *client.Waiting.begin() < *most->Waiting.begin()))
            most = &client;
    }
    // Between addresses that both hold places, a swap that leaves the newcomer's the larger would
    // only move the crowd, and the two would trade places for ever.
    if (!most || (held > 0 && most->Connections <= held + 1))
        return std::nullopt;
    return *most->Waiting.begin();
}

void TIdConnectionCensus::uncount(uint64_t ticket, TConnection& connection)
{
    auto client = m_clients.find(connection.Address);
    client->second.Waiting.erase(ticket);
    if (--client->second.Connections == 0)
        m_clients.erase(client);
    connection.Counted = false;
    --m_count;
}

void TIdConnectionCensus::requestLineArrived(uint64_t ticket)
{
    auto connection = m_connections.find(ticket);
    if (connection != m_connections.end() && connection->second.Counted)
        m_clients.at(connection->second.Address).Waiting.erase(ticket);
}

void TIdConnectionCensus::remove(uint64_t ticket)
{
    auto connection = m_connections.find(ticket);
    if (connection == m_connections.end())
        return;
    if (connection->second.Counted)
        uncount(ticket, connection->second);
    m_connections.erase(connection);
}

bool TIdConnectionCensus::crowded() const
{
    return MaxConnections > 0 && m_count * 100 > static_cast<size_t>(MaxConnections) * IdCrowdedPercent;
}

}  // namespace velmora
