#include <arpa/inet.h>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include "net/LocalAddresses.h"

namespace velmora {

namespace {

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

std::vector<std::string> LocalIPv4Addresses()
{
    return OrderLocalAddresses(systemInterfaces(), systemDefaultRouteInterface());
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
