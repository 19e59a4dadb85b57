#pragma once
// This machine's IPv4 addresses as the phone can reach them, read from the network interfaces
// themselves (the host name often resolves to 127.0.1.1): the interface of the default route
// first, then the other network addresses, loopback last; link-local addresses are left out.

#include <istream>
#include <string>
#include <vector>

namespace velmora {

struct TInterfaceAddress {
    std::string Interface;
    std::string Address;  // dotted IPv4
    bool Up = false;  // up and running
    bool Loopback = false;  // a loopback device
    bool DefaultRoute = false;  // the interface that carries the default route
};

// The ordering rule applied to a list of interfaces, in the order the system gave them.
std::vector<std::string> OrderLocalAddresses(const std::vector<TInterfaceAddress>& interfaces,
                                             const std::string& defaultRouteInterface);

// The interfaces of this machine; empty when they cannot be read.
std::vector<std::string> LocalIPv4Addresses();

// The interface of the default route in a table of /proc/net/route's format: of the routes that
// are up and lead to 0.0.0.0/0, the one with the lowest metric. Answers empty when there is none.
std::string DefaultRouteInterface(std::istream& routes);

// Every IPv4 address of the interfaces that are up, in the system's order, the default route's
// interface marked; empty when the interfaces cannot be read.
std::vector<TInterfaceAddress> LocalInterfaceAddresses();

}  // namespace velmora
