#pragma once
// This machine's addresses as the operator chooses among them: every IPv4 address of an interface
// that is up, with the interface's name and a kind, and the choice that composes the server's
// address: the operator's own while it is on the machine, else the default route's address.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/LocalAddresses.h"

namespace velmora {

// In the order the list shows them: the likeliest address for a phone first.
enum class TAddressKind { DefaultRoute, Physical, Virtual, LinkLocal, Loopback };

struct TOperatorAddress {
    std::string Address;
    std::string Interface;
    TAddressKind Kind = TAddressKind::Physical;
    TInterfaceMedium Medium = TInterfaceMedium::Unknown;
    // The network's profile is "Public": the system's firewall blocks phones there.
    bool PublicNetwork = false;

    bool operator==(const TOperatorAddress&) const = default;
};

// The machine's interfaces as the system reports them; tests give their own.
using TInterfaceSource = std::function<std::vector<TInterfaceAddress>()>;

// Kind by interface: loopback device, then a link-local address, then the default route's
// interface, then a virtual or tunnel medium, or, where the system does not tell the medium, a
// name that container, VM and VPN software give its interfaces.
TAddressKind KindOf(const TInterfaceAddress& entry);

// The addresses of the interfaces that are up, sorted by kind and otherwise in the system's order;
// an address that two interfaces report is listed once.
std::vector<TOperatorAddress> ClassifyAddresses(const std::vector<TInterfaceAddress>& interfaces);

// The default choice: the first address of the default route, else the first physical one, else
// the first virtual one. Answers none when only link-local and loopback addresses are left.
std::optional<std::string> DefaultAddress(const std::vector<TOperatorAddress>& addresses);

// "rota padrão", "física", "virtual", "link-local" or "loopback".
const char* AddressKindName(TAddressKind kind);

// How the panel's list and --list-addresses show one address: "192.168.0.10 (eth0, rota padrão)";
// the Mobile Hotspot and a VPN say so: "192.168.137.1 (Conexão Local* 2, ponto de acesso móvel,
// física)".
std::string AddressLabel(const TOperatorAddress& address);

// The operator's choice, kept across changes of the machine's addresses.
class TAddressChoice {
public:
    // None chooses the default.
    void SetPreferred(std::optional<std::string> address) { m_preferred = std::move(address); }
    const std::optional<std::string>& Preferred() const { return m_preferred; }

    // The address that composes the server's: the preferred one while the list holds it, else
    // the default. Answers none when the list offers neither.
    std::optional<std::string> Resolve(const std::vector<TOperatorAddress>& addresses) const;

private:
    std::optional<std::string> m_preferred;
};

// Whether the address is in the list.
bool HasAddress(const std::vector<TOperatorAddress>& addresses, const std::string& address);

}  // namespace velmora
