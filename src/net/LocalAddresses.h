#pragma once
// This machine's IPv4 addresses as the phone can reach them, read from the network interfaces
// themselves (the host name often resolves to 127.0.1.1): the interface of the default route
// first, then the other network addresses, loopback last; link-local addresses are left out.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace velmora {

// What carries an interface, where the system says so (Windows describes each adapter); Unknown
// leaves it to the interface's name.
enum class TInterfaceMedium { Unknown, Ethernet, WiFi, Hotspot, Tunnel, Virtual, Loopback };

struct TInterfaceAddress {
    std::string Interface;
    std::string Address;  // dotted IPv4
    bool Up = false;  // up and running
    bool Loopback = false;  // a loopback device
    bool DefaultRoute = false;  // the interface that carries the default route
    TInterfaceMedium Medium = TInterfaceMedium::Unknown;
    // The network's profile says "Public": the system's firewall blocks phones there.
    bool PublicNetwork = false;
};

// The medium of a Windows adapter from its interface type (IF_TYPE_*) and description: the Mobile
// Hotspot's Wi-Fi Direct adapter is a real network for phones, while the adapters that Hyper-V,
// WSL, VirtualBox, VMware and Docker make, and VPN tunnels, are not.
TInterfaceMedium MediumOfAdapter(uint32_t interfaceType, const std::string& description);

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
