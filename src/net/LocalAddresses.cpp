#include "net/LocalAddresses.h"

#include <arpa/inet.h>
#include <fstream>
#include <ifaddrs.h>
#include <limits>
#include <net/if.h>
#include <netinet/in.h>
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

std::string systemDefaultRouteInterface()
{
    std::ifstream routes("/proc/net/route");
    return DefaultRouteInterface(routes);
}

std::vector<TInterfaceAddress> systemInterfaces()
{
    std::vector<TInterfaceAddress> interfaces;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return interfaces;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        bool up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
        interfaces.push_back({entry->ifa_name, text, up, (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    ::freeifaddrs(list);
    return interfaces;
}

}  // namespace

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

std::vector<std::string> LocalIPv4Addresses()
{
    return OrderLocalAddresses(systemInterfaces(), systemDefaultRouteInterface());
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

std::vector<TInterfaceAddress> LocalInterfaceAddresses()
{
    const std::string defaultRoute = systemDefaultRouteInterface();
    std::vector<TInterfaceAddress> interfaces;
    for (TInterfaceAddress& entry : systemInterfaces()) {
        if (!entry.Up)
            continue;
        entry.DefaultRoute = !defaultRoute.empty() && entry.Interface == defaultRoute;
        interfaces.push_back(std::move(entry));
    }
    return interfaces;
}

}  // namespace velmora
