#include "operator/PortDiagnosis.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

#include "app/Unit_Const.h"
#include "base/Exception.h"
#include "operator/HttpProbe.h"
#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

constexpr std::chrono::milliseconds HolderProbeLimit{1000};
constexpr const char* TcpListenState = "0A";

std::string probedServerSoftware(int port)
{
    THttpProbeResult result = ProbeHttp("127.0.0.1", port, HolderProbeLimit);
    return result.Outcome == THttpProbeResult::TOutcome::Answered ? result.Head.Server : std::string();
}

// The inodes of the sockets listening on the port, from a table of /proc/net/tcp's format.
void listeningInodes(const char* table, int port, std::set<std::string>& inodes)
{
    std::ifstream lines(table);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode))
            continue;
        size_t colon = local.rfind(':');
        if (state != TcpListenState || colon == std::string::npos)
            continue;
        if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port)
            inodes.insert(inode);
    }
}

std::string programName(const std::string& pid)
{
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Whether one of the process's open files is one of the sockets.
bool holdsSocket(const std::string& pid, const std::set<std::string>& inodes)
{
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(folder.c_str());
    if (!fds)
        return false;
    bool holds = false;
    while (dirent* entry = ::readdir(fds)) {
        char target[64] = {};
        ssize_t length = ::readlink((folder + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        std::string_view link(target, length > 0 ? static_cast<size_t>(length) : 0);
        if (link.rfind("socket:[", 0) == 0 && link.back() == ']' &&
            inodes.count(std::string(link.substr(8, link.size() - 9)))) {
            holds = true;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

bool isNumber(const char* text)
{
    if (!*text)
        return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

std::string holderText(bool ourCopy, const std::optional<TPortHolder>& holder)
{
    const std::string who = ourCopy ? SOutraCopia : SOutroPrograma;
    if (!holder)
        return who;
    return FormatMessage(SProcesso, {who, holder->Program, std::to_string(holder->Pid)});
}

std::string nextFreePortLine(int port, const TPortBinder& bind)
{
    const int last = std::min(65535, port + FreePortSearchSpan);
    for (int candidate = port + 1; candidate <= last; ++candidate)
        if (bind(candidate) == 0)
            return FormatMessage(SProximaPortaLivre, {std::to_string(candidate)});
    return FormatMessage(SSemPortaLivre, {std::to_string(port + 1), std::to_string(last)});
}

}  // namespace

int TryBindPort(int port)
{
    int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return errno;
    // The server reuses addresses too, so a port with only closing connections counts as free.
    int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    int error = ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    ::close(handle);
    return error;
}

std::optional<TPortHolder> FindPortHolder(int port)
{
    std::set<std::string> inodes;
    listeningInodes("/proc/net/tcp", port, inodes);
    listeningInodes("/proc/net/tcp6", port, inodes);
    inodes.erase("0");
    if (inodes.empty())
        return std::nullopt;
    DIR* processes = ::opendir("/proc");
    if (!processes)
        return std::nullopt;
    std::optional<TPortHolder> holder;
    while (dirent* entry = ::readdir(processes)) {
        if (isNumber(entry->d_name) && holdsSocket(entry->d_name, inodes)) {
            holder = TPortHolder{programName(entry->d_name), std::atoi(entry->d_name)};
            break;
        }
    }
    ::closedir(processes);
    return holder;
}

std::vector<std::string> DiagnosePort(int port, const TPortDiagnosisTools& tools)
{
    const int error = tools.Bind(port);
    if (error == EACCES)
        return {FormatMessage(SSemPermissaoPorta, {std::to_string(port)})};
    if (error != EADDRINUSE)
        return {};
    const std::string software = tools.ServerSoftware ? tools.ServerSoftware(port) : probedServerSoftware(port);
    const bool ourCopy = software == SServerSoftware;
    std::optional<TPortHolder> holder = tools.Holder ? tools.Holder(port) : std::nullopt;
    return {FormatMessage(SPortaEmUsoPor, {std::to_string(port), holderText(ourCopy, holder)}),
            nextFreePortLine(port, tools.Bind)};
}

}  // namespace velmora
