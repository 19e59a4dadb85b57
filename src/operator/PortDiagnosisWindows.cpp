#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <vector>

#include "base/Utf16.h"
#include "operator/PortDiagnosis.h"

namespace velmora {

namespace {

// The table of the family's listening TCP sockets with their owners; empty when it cannot be read.
std::vector<char> listenerTable(ULONG family)
{
    std::vector<char> table;
    DWORD size = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD result = ::GetExtendedTcpTable(table.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
        if (result == NO_ERROR)
            return table;
        if (result != ERROR_INSUFFICIENT_BUFFER)
            break;
        table.resize(size);
    }
    return {};
}

template <class Table>
DWORD ownerOf(const std::vector<char>& bytes, int port)
{
    if (bytes.empty())
        return 0;
    const auto* table = reinterpret_cast<const Table*>(bytes.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        if (ntohs(static_cast<u_short>(table->table[i].dwLocalPort)) == port)
            return table->table[i].dwOwningPid;
    return 0;
}

// The file name of the process's program ("velmora.exe"); empty when the system does not say.
std::string programName(DWORD pid)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return {};
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    const bool named = ::QueryFullProcessImageNameW(process, 0, path, &length) != 0;
    ::CloseHandle(process);
    if (!named)
        return {};
    const std::wstring_view full(path, length);
    const size_t slash = full.find_last_of(L"\\/");
    return Utf8OfWide(slash == std::wstring_view::npos ? full : full.substr(slash + 1));
}

}  // namespace

std::optional<TPortHolder> FindPortHolder(int port)
{
    DWORD pid = ownerOf<MIB_TCPTABLE_OWNER_PID>(listenerTable(AF_INET), port);
    if (pid == 0)
        pid = ownerOf<MIB_TCP6TABLE_OWNER_PID>(listenerTable(AF_INET6), port);
    if (pid == 0)
        return std::nullopt;
    std::string name = programName(pid);
    if (name.empty())
        return std::nullopt;
    return TPortHolder{std::move(name), static_cast<int>(pid)};
}

}  // namespace velmora
