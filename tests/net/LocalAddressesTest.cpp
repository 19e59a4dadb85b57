#include "net/LocalAddresses.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(LocalAddresses, DefaultRouteFirstLoopbackLastLinkLocalAndDownLeftOut)
{
    const std::vector<TInterfaceAddress> interfaces = {
        {"lo", "127.0.0.1", true},           {"docker0", "172.17.0.1", false},
        {"tun0", "10.8.0.6", true},          {"eth0", "192.168.0.10", true},
        {"eth1", "169.254.10.20", true},     {"lo", "127.0.1.1", true},
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

TEST(LocalAddresses, ThisMachineHasAtLeastItsLoopbackLast)
{
    auto addresses = LocalIPv4Addresses();
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(addresses.back().rfind("127.", 0), 0u);
}

}  // namespace
}  // namespace velmora
