#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <netlistmgr.h>
#include <objbase.h>

#include <memory>
#include <set>

#include "base/Utf16.h"
#include "net/LocalAddresses.h"

namespace velmora {

namespace {

using TAdapters = std::unique_ptr<IP_ADAPTER_ADDRESSES, decltype(&std::free)>;

TAdapters readAdapters()
{
    constexpr ULONG Flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 3; ++attempt) {
        TAdapters adapters(static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size)), &std::free);
        if (!adapters)
            break;
        const ULONG result = ::GetAdaptersAddresses(AF_INET, Flags, nullptr, adapters.get(), &size);
        if (result == NO_ERROR)
            return adapters;
        if (result != ERROR_BUFFER_OVERFLOW)
            break;
    }
    return TAdapters(nullptr, &std::free);
}

// The index of the interface that carries the default route; 0 when there is none.
DWORD defaultRouteIndex()
{
    DWORD index = 0;
    return ::GetBestInterface(INADDR_ANY, &index) == NO_ERROR ? index : 0;
}

// The adapters whose network has the "Public" profile, by adapter identifier ("{...}").
std::set<std::wstring> publicAdapters()
{
    std::set<std::wstring> found;
    const HRESULT started = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    INetworkListManager* manager = nullptr;
    IEnumNetworkConnections* connections = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                     reinterpret_cast<void**>(&manager))) &&
        SUCCEEDED(manager->GetNetworkConnections(&connections))) {
        INetworkConnection* connection = nullptr;
        while (connections->Next(1, &connection, nullptr) == S_OK) {
            GUID adapter{};
            INetwork* network = nullptr;
            NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PRIVATE;
            if (SUCCEEDED(connection->GetAdapterId(&adapter)) && SUCCEEDED(connection->GetNetwork(&network)) &&
                SUCCEEDED(network->GetCategory(&category)) && category == NLM_NETWORK_CATEGORY_PUBLIC) {
                wchar_t text[64] = {};
                if (::StringFromGUID2(adapter, text, 64) > 0)
                    found.insert(text);
            }
            if (network)
                network->Release();
            connection->Release();
        }
    }
    if (connections)
        connections->Release();
    if (manager)
        manager->Release();
    if (SUCCEEDED(started))
        ::CoUninitialize();
    return found;
}

bool isPublic(const std::set<std::wstring>& publicIds, const char* adapterName)
{
    return publicIds.count(WideOf(adapterName)) > 0;
}

std::vector<TInterfaceAddress> systemInterfaces()
{
    std::vector<TInterfaceAddress> interfaces;
    const TAdapters adapters = readAdapters();
    const DWORD defaultIndex = defaultRouteIndex();
    const std::set<std::wstring> publicIds = publicAdapters();
    for (const IP_ADAPTER_ADDRESSES* adapter = adapters.get(); adapter; adapter = adapter->Next) {
        const std::string name = Utf8OfWide(adapter->FriendlyName ? adapter->FriendlyName : L"");
        const TInterfaceMedium medium =
            MediumOfAdapter(adapter->IfType, Utf8OfWide(adapter->Description ? adapter->Description : L""));
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
             unicast = unicast->Next) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr);
            if (!address || address->sin_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
            TInterfaceAddress entry{name, text, adapter->OperStatus == IfOperStatusUp,
                                    medium == TInterfaceMedium::Loopback,
                                    defaultIndex != 0 && adapter->IfIndex == defaultIndex};
            entry.Medium = medium;
            // Only this computer reaches a loopback address, whatever profile the system gives it.
            entry.PublicNetwork = medium != TInterfaceMedium::Loopback && isPublic(publicIds, adapter->AdapterName);
            interfaces.push_back(std::move(entry));
        }
    }
    return interfaces;
}

std::string defaultRouteName(const std::vector<TInterfaceAddress>& interfaces)
{
    for (const TInterfaceAddress& entry : interfaces)
        if (entry.DefaultRoute)
            return entry.Interface;
    return {};
}

}  // namespace

std::vector<std::string> LocalIPv4Addresses()
{
    const std::vector<TInterfaceAddress> interfaces = systemInterfaces();
    return OrderLocalAddresses(interfaces, defaultRouteName(interfaces));
}

std::vector<TInterfaceAddress> LocalInterfaceAddresses()
{
    std::vector<TInterfaceAddress> interfaces;
    for (TInterfaceAddress& entry : systemInterfaces())
        if (entry.Up)
            interfaces.push_back(std::move(entry));
    return interfaces;
}

}  // namespace velmora
