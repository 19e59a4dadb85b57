#include "operator/AddressChoice.h"

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {

// Names that container, VM and VPN software give the interfaces it creates; a phone on the Wi-Fi
// cannot reach their addresses.
constexpr std::string_view VirtualPrefixes[] = {
    "docker",    "br-", "bridge",  "veth",  "virbr", "vnet",  "tun",    "tap", "wg",
    "tailscale", "zt",  "vboxnet", "vmnet", "lxcbr", "lxdbr", "podman", "cni", "flannel",
};

bool hasVirtualName(const std::string& name)
{
    return std::any_of(std::begin(VirtualPrefixes), std::end(VirtualPrefixes),
                       [&](std::string_view prefix) { return name.rfind(prefix, 0) == 0; });
}

}  // namespace

TAddressKind KindOf(const TInterfaceAddress& entry)
{
    using TMedium = TInterfaceMedium;
    if (entry.Loopback || entry.Medium == TMedium::Loopback)
        return TAddressKind::Loopback;
    if (entry.Address.rfind("169.254.", 0) == 0)
        return TAddressKind::LinkLocal;
    if (entry.DefaultRoute)
        return TAddressKind::DefaultRoute;
    if (entry.Medium == TMedium::Virtual || entry.Medium == TMedium::Tunnel ||
        (entry.Medium == TMedium::Unknown && hasVirtualName(entry.Interface)))
        return TAddressKind::Virtual;
    return TAddressKind::Physical;
}

std::vector<TOperatorAddress> ClassifyAddresses(const std::vector<TInterfaceAddress>& interfaces)
{
    std::vector<TOperatorAddress> addresses;
    for (const TInterfaceAddress& entry : interfaces) {
        if (!entry.Up || entry.Address.empty() || HasAddress(addresses, entry.Address))
            continue;
        addresses.push_back({entry.Address, entry.Interface, KindOf(entry), entry.Medium, entry.PublicNetwork});
    }
    std::stable_sort(addresses.begin(), addresses.end(),
                     [](const TOperatorAddress& a, const TOperatorAddress& b) { return a.Kind < b.Kind; });
    return addresses;
}

std::optional<std::string> DefaultAddress(const std::vector<TOperatorAddress>& addresses)
{
    // The list is sorted by kind, so the first address that may be a default is the best one.
    for (const TOperatorAddress& address : addresses)
        if (address.Kind <= TAddressKind::Virtual)
            return address.Address;
    return std::nullopt;
}

const char* AddressKindName(TAddressKind kind)
{
    switch (kind) {
    case TAddressKind::DefaultRoute:
        return "rota padrão";
    case TAddressKind::Physical:
        return "física";
    case TAddressKind::Virtual:
        return "virtual";
    case TAddressKind::LinkLocal:
        return "link-local";
    case TAddressKind::Loopback:
        return "loopback";
    }
    return "";
}

std::string AddressLabel(const TOperatorAddress& address)
{
    const char* medium = address.Medium == TInterfaceMedium::Hotspot ? "ponto de acesso móvel, "
        : address.Medium == TInterfaceMedium::Tunnel                 ? "VPN, "
                                                                     : "";
    return address.Address + " (" + address.Interface + ", " + medium + AddressKindName(address.Kind) + ")";
}

bool HasAddress(const std::vector<TOperatorAddress>& addresses, const std::string& address)
{
    return std::any_of(addresses.begin(), addresses.end(),
                       [&](const TOperatorAddress& entry) { return entry.Address == address; });
}

std::optional<std::string> TAddressChoice::Resolve(const std::vector<TOperatorAddress>& addresses) const
{
    if (m_preferred && HasAddress(addresses, *m_preferred))
        return m_preferred;
    return DefaultAddress(addresses);
}

}  // namespace velmora
