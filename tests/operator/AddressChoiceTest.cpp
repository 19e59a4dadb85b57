#include "operator/AddressChoice.h"

#include <gtest/gtest.h>

#include "OperatorTestSupport.h"
#include "operator/OperatorTexts.h"

namespace velmora::test {
namespace {

TEST(AddressChoice, EachInterfaceGetsItsKind)
{
    const struct {
        TInterfaceAddress entry;
        TAddressKind kind;
    } rows[] = {
        {up("lo", "127.0.0.1", false, true), TAddressKind::Loopback},
        {up("eth0", "192.168.0.10", true), TAddressKind::DefaultRoute},
        {up("wlan0", "10.0.0.5"), TAddressKind::Physical},
        {up("enp3s0", "169.254.3.4"), TAddressKind::LinkLocal},
        {up("enp3s0", "169.254.3.4", true), TAddressKind::LinkLocal},
        {up("docker0", "172.17.0.1"), TAddressKind::Virtual},
        {up("br-4f2a", "172.18.0.1"), TAddressKind::Virtual},
        {up("virbr0", "192.168.122.1"), TAddressKind::Virtual},
        {up("veth12ab", "10.1.1.1"), TAddressKind::Virtual},
        {up("tun0", "10.8.0.6"), TAddressKind::Virtual},
        {up("tap1", "10.9.0.1"), TAddressKind::Virtual},
        {up("wg0", "10.66.0.2"), TAddressKind::Virtual},
        {up("tailscale0", "100.64.0.1"), TAddressKind::Virtual},
        // A VPN that carries the default route is still where the default route goes.
        {up("tun0", "10.8.0.6", true), TAddressKind::DefaultRoute},
        // A test machine may give a loopback range address to a plain interface.
        {up("eth0", "127.0.0.2", true), TAddressKind::DefaultRoute},
    };
    for (const auto& row : rows)
        EXPECT_EQ(KindOf(row.entry), row.kind) << row.entry.Interface << " " << row.entry.Address;
}

// Adapters as Windows machines report them: interface type, description and friendly name.
TEST(AddressChoice, WindowsAdaptersAreToldApartByTypeAndDescription)
{
    const struct {
        uint32_t type;
        const char* description;
        const char* name;
        const char* address;
        TInterfaceMedium medium;
        const char* label;
    } rows[] = {
        {71, "Intel(R) Wi-Fi 6 AX201 160MHz", "Wi-Fi", "192.168.0.23", TInterfaceMedium::WiFi,
         "192.168.0.23 (Wi-Fi, física)"},
        {6, "Realtek PCIe GbE Family Controller", "Ethernet", "10.0.0.5", TInterfaceMedium::Ethernet,
         "10.0.0.5 (Ethernet, física)"},
        {71, "Microsoft Wi-Fi Direct Virtual Adapter #2", "Conexão Local* 10", "192.168.137.1",
         TInterfaceMedium::Hotspot, "192.168.137.1 (Conexão Local* 10, ponto de acesso móvel, física)"},
        {6, "Hyper-V Virtual Ethernet Adapter", "vEthernet (WSL)", "172.24.0.1", TInterfaceMedium::Virtual,
         "172.24.0.1 (vEthernet (WSL), virtual)"},
        {6, "VirtualBox Host-Only Ethernet Adapter", "Ethernet 2", "192.168.56.1", TInterfaceMedium::Virtual,
         "192.168.56.1 (Ethernet 2, virtual)"},
        {6, "VMware Virtual Ethernet Adapter for VMnet8", "VMware Network Adapter VMnet8", "192.168.80.1",
         TInterfaceMedium::Virtual, "192.168.80.1 (VMware Network Adapter VMnet8, virtual)"},
        {53, "WireGuard Tunnel", "wg-escritorio", "10.66.0.2", TInterfaceMedium::Tunnel,
         "10.66.0.2 (wg-escritorio, VPN, virtual)"},
        {6, "TAP-Windows Adapter V9", "OpenVPN", "10.8.0.6", TInterfaceMedium::Tunnel,
         "10.8.0.6 (OpenVPN, VPN, virtual)"},
        {24, "Software Loopback Interface 1", "Loopback Pseudo-Interface 1", "127.0.0.1", TInterfaceMedium::Loopback,
         "127.0.0.1 (Loopback Pseudo-Interface 1, loopback)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MediumOfAdapter(row.type, row.description), row.medium) << row.description;
        TInterfaceAddress entry = up(row.name, row.address);
        entry.Medium = MediumOfAdapter(row.type, row.description);
        const std::vector<TOperatorAddress> classified = ClassifyAddresses({entry});
        ASSERT_EQ(classified.size(), 1u);
        EXPECT_EQ(AddressLabel(classified[0]), row.label);
    }
}

TEST(AddressChoice, TheListIsSortedByKindWithoutDownInterfacesOrRepeats)
{
    std::vector<TInterfaceAddress> interfaces = {
        up("lo", "127.0.0.1", false, true),
        up("docker0", "172.17.0.1"),
        up("wlan0", "10.0.0.5"),
        up("eth0", "192.168.0.10", true),
        up("eth0", "192.168.0.11", true),
        up("eth1", "169.254.9.9"),
        up("wlan0", "10.0.0.5"),
    };
    interfaces.push_back({"eth2", "10.0.0.99", false});
    const std::vector<TOperatorAddress> expected = {
        {"192.168.0.10", "eth0", TAddressKind::DefaultRoute}, {"192.168.0.11", "eth0", TAddressKind::DefaultRoute},
        {"10.0.0.5", "wlan0", TAddressKind::Physical},        {"172.17.0.1", "docker0", TAddressKind::Virtual},
        {"169.254.9.9", "eth1", TAddressKind::LinkLocal},     {"127.0.0.1", "lo", TAddressKind::Loopback},
    };
    EXPECT_EQ(ClassifyAddresses(interfaces), expected);
    EXPECT_EQ(AddressLabel(expected[0]), "192.168.0.10 (eth0, rota padrão)");
    EXPECT_EQ(AddressLabel(expected[2]), "10.0.0.5 (wlan0, física)");
}

TEST(AddressChoice, TheDefaultIsTheDefaultRouteElsePhysicalElseVirtualNeverLinkLocalOrLoopback)
{
    const struct {
        const char* what;
        std::vector<TInterfaceAddress> interfaces;
        std::optional<std::string> expected;
    } rows[] = {
        {"default route",
         {up("docker0", "172.17.0.1"), up("wlan0", "10.0.0.5"), up("eth0", "192.168.0.10", true)},
         "192.168.0.10"},
        {"no default route", {up("docker0", "172.17.0.1"), up("wlan0", "10.0.0.5")}, "10.0.0.5"},
        {"only virtual", {up("lo", "127.0.0.1", false, true), up("docker0", "172.17.0.1")}, "172.17.0.1"},
        {"only link-local and loopback",
         {up("lo", "127.0.0.1", false, true), up("eth0", "169.254.1.1", true)},
         std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DefaultAddress(ClassifyAddresses(row.interfaces)), row.expected) << row.what;
}

TEST(AddressChoice, ThePreferredAddressHoldsWhileTheMachineHasIt)
{
    const auto withWlan = ClassifyAddresses({up("eth0", "192.168.0.10", true), up("wlan0", "10.0.0.5")});
    const auto withoutWlan = ClassifyAddresses({up("eth0", "192.168.0.10", true)});
    TAddressChoice choice;
    EXPECT_EQ(choice.Resolve(withWlan), "192.168.0.10");
    choice.SetPreferred("10.0.0.5");
    EXPECT_EQ(choice.Resolve(withWlan), "10.0.0.5");
    EXPECT_EQ(choice.Resolve(withoutWlan), "192.168.0.10") << "gone: the default stands in";
    EXPECT_EQ(choice.Resolve(withWlan), "10.0.0.5") << "back: the operator's choice again";
    EXPECT_EQ(choice.Resolve({}), std::nullopt);
}

TEST(OperatorTexts, SizesAndSecondsHaveOneDecimalAfterAComma)
{
    const struct {
        uint64_t bytes;
        const char* text;
    } sizes[] = {
        {0, "0,0 kB"},           {49, "0,0 kB"},           {50, "0,1 kB"},      {12345, "12,3 kB"},
        {999949, "999,9 kB"},    {999950, "1,0 MB"},       {1234567, "1,2 MB"}, {1250000, "1,3 MB"},
        {999949999, "999,9 MB"}, {999950000, "1000,0 MB"}, {1048576, "1,0 MB"},
    };
    for (const auto& row : sizes)
        EXPECT_EQ(FormatSize(row.bytes), row.text) << row.bytes;
    const struct {
        long long ms;
        const char* text;
    } times[] = {{0, "0,0"}, {49, "0,0"}, {50, "0,1"}, {4250, "4,3"}, {61000, "61,0"}, {-5, "0,0"}};
    for (const auto& row : times)
        EXPECT_EQ(FormatSeconds(std::chrono::milliseconds(row.ms)), row.text) << row.ms;
}

}  // namespace
}  // namespace velmora::test
