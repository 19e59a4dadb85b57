#include "net/LocalAddresses.h"

#include <initializer_list>
#include <limits>
#include <sstream>

namespace velmora {

namespace {

bool isLoopback(const std::string& address)
{
    return address.rfind("127.", 0) == 0;
}

bool isLinkLocal(const std::string& address)
{
    return address.rfind("169.254.", 0) == 0;
}

}  // namespace

TInterfaceMedium MediumOfAdapter(uint32_t interfaceType, const std::string& description)
{
    constexpr uint32_t Ethernet = 6, Ppp = 23, SoftwareLoopback = 24, PropVirtual = 53, Ieee80211 = 71, Tunnel = 131;
    std::string text = description;
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    auto mentions = [&](std::initializer_list<const char*> words) {
        for (const char* word : words)
            if (text.find(word) != std::string::npos)
                return true;
        return false;
    };
    if (interfaceType == SoftwareLoopback || mentions({"loopback"}))
        return TInterfaceMedium::Loopback;
    if (mentions({"wi-fi direct virtual adapter", "hosted network virtual adapter"}))
        return TInterfaceMedium::Hotspot;
    if (interfaceType == Tunnel || interfaceType == Ppp ||
        mentions({"vpn", "tap-windows", "tunnel", "wireguard", "tailscale", "zerotier", "anyconnect", "globalprotect",
                  "pangp", "fortinet", "openvpn", "wintun"}))
        return TInterfaceMedium::Tunnel;
    if (interfaceType == PropVirtual || mentions({"hyper-v", "virtualbox", "vmware", "virtual", "docker", "wsl"}))
        return TInterfaceMedium::Virtual;
    if (interfaceType == Ieee80211)
        return TInterfaceMedium::WiFi;
    if (interfaceType == Ethernet)
        return TInterfaceMedium::Ethernet;
    return TInterfaceMedium::Unknown;
}

std::vector<std::string> OrderLocalAddresses(const std::vector<TInterfaceAddress>& interfaces,
                                             const std::string& defaultRouteInterface)
{
    std::vector<std::string> first, others, loopback;
    for (const auto& entry : interfaces) {
        if (!entry.Up || isLinkLocal(entry.Address))
            continue;
        if (isLoopback(entry.Address))
            loopback.push_back(entry.Address);
        else if (!defaultRouteInterface.empty() && entry.Interface == defaultRouteInterface)
            first.push_back(entry.Address);
        else
            others.push_back(entry.Address);
    }
    first.insert(first.end(), others.begin(), others.end());
    first.insert(first.end(), loopback.begin(), loopback.end());
    return first;
}

std::string DefaultRouteInterface(std::istream& routes)
{
    constexpr unsigned RouteUp = 0x1;
    std::string line, best;
    long bestMetric = std::numeric_limits<long>::max();
    std::getline(routes, line);
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, mask;
        unsigned flags = 0;
        long references = 0, use = 0, metric = 0;
        if (!(fields >> name >> destination >> gateway >> std::hex >> flags >> std::dec >> references >> use >>
              metric >> mask))
            continue;
        // A VPN often adds 0.0.0.0/1 and 128.0.0.0/1 next to the real default route: only the
        // route whose mask is empty too leads everywhere.
        if (destination != "00000000" || mask != "00000000" || !(flags & RouteUp))
            continue;
        if (metric < bestMetric) {
            bestMetric = metric;
            best = name;
        }
    }
    return best;
}

}  // namespace velmora
