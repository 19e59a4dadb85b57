#include "net/LocalAddresses.h"

#include <gtest/gtest.h>
#include <sstream>

namespace velmora {
namespace {

TEST(LocalAddresses, DefaultRouteFirstLoopbackLastLinkLocalAndDownLeftOut)
{
    const std::vector<TInterfaceAddress> interfaces = {
        {"lo", "127.0.0.1", true},      {"docker0", "172.17.0.1", false}, {"tun0", "10.8.0.6", true},
        {"eth0", "192.168.0.10", true}, {"eth1", "169.254.10.20", true},  {"lo", "127.0.1.1", true},
    };
    struct Row {
        const char* defaultRoute;
        std::vector<std::string> expected;
    } rows[] = {
        {"eth0", {"192.168.0.10", "10.8.0.6", "127.0.0.1", "127.0.1.1"}},
        {"tun0", {"10.8.0.6", "192.168.0.10", "127.0.0.1", "127.0.1.1"}},
        {"", {"10.8.0.6", "192.168.0.10", "127.0.0.1", "127.0.1.1"}},
        {"eth1", {"10.8.0.6", "192.168.0.10", "127.0.0.1", "127.0.1.1"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(OrderLocalAddresses(interfaces, row.defaultRoute), row.expected) << row.defaultRoute;
    EXPECT_TRUE(OrderLocalAddresses({{"eth0", "169.254.1.1", true}}, "eth0").empty());
}

// Regression: a VPN's 0.0.0.0/1 route was taken for the default route, so its address came first.
TEST(LocalAddresses, TheDefaultRouteLeadsToEveryAddressIsUpAndHasTheLowestMetric)
{
    const std::string head = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n";
    const struct {
        const char* what;
        std::string table;
        const char* expected;
    } rows[] = {
        {"one default route", "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", "eth0"},
        {"VPN halves beside it",
         "tun0\t00000000\t0100080A\t0003\t0\t0\t0\t00000080\t0\t0\t0\n"
         "tun0\t00000080\t0100080A\t0003\t0\t0\t0\t00000080\t0\t0\t0\n"
         "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n",
         "wlan0"},
        {"lowest metric wins",
         "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
         "eth0\t00000000\t010200C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
         "eth0"},
        {"a route that is down", "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", ""},
        {"no default route", "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n", ""},
        {"a short line", "eth0\t00000000\n", ""},
    };
    for (const auto& row : rows) {
        std::istringstream table(head + row.table);
        EXPECT_EQ(DefaultRouteInterface(table), row.expected) << row.what;
    }
}

TEST(LocalAddresses, ThisMachinesInterfacesAreUpWithOneLoopback)
{
    bool loopback = false;
    for (const TInterfaceAddress& entry : LocalInterfaceAddresses()) {
        EXPECT_TRUE(entry.Up) << entry.Interface;
        loopback = loopback || (entry.Loopback && entry.Address == "127.0.0.1");
    }
    EXPECT_TRUE(loopback);
}

TEST(LocalAddresses, ThisMachineHasAtLeastItsLoopbackLast)
{
    auto addresses = LocalIPv4Addresses();
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(addresses.back().rfind("127.", 0), 0u);
}

}  // namespace
}  // namespace velmora
