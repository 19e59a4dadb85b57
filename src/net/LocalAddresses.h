#pragma once
// This machine's IPv4 addresses as the phone can reach them, read from the network interfaces
// themselves (the host name often resolves to 127.0.1.1): the interface of the default route
// first, then the other network addresses, loopback last; link-local addresses are left out.

#include <string>
#include <vector>

namespace velmora {

struct TInterfaceAddress {
    std::string Interface;
    std::string Address;  // dotted IPv4
    bool Up = false;      // up and running
};

// The ordering rule applied to a list of interfaces, in the order the system gave them.
std::vector<std::string> OrderLocalAddresses(const std::vector<TInterfaceAddress>& interfaces,
                                             const std::string& defaultRouteInterface);

// The interfaces of this machine; empty when they cannot be read.
std::vector<std::string> LocalIPv4Addresses();

}  // namespace velmora
