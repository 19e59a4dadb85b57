#pragma once
// What the operator's tests share: interfaces as the test sets them, and a loopback client that
// speaks from a chosen 127.0.0.0/8 address.

#include <string>

#include "Loopback.h"
#include "Projects.h"
#include "RecordingView.h"
#include "net/LocalAddresses.h"

namespace velmora::test {

inline TInterfaceAddress up(const std::string& name, const std::string& address, bool defaultRoute = false,
                            bool loopback = false)
{
    return {name, address, true, loopback, defaultRoute};
}

// The reply to a GET of the path from a client bound to the source address; empty when nothing
// listens. Bounded by a receive time-out.
inline std::string fetchFrom(const std::string& source, int port, const std::string& path)
{
    auto connection = tryConnectLoopback(port, source);
    if (!connection)
        return {};
    connection->sendAll("GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    return connection->receiveAll();
}

}  // namespace velmora::test
