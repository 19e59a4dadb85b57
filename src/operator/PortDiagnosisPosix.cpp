#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

#include "operator/PortDiagnosis.h"

namespace velmora {

namespace {

constexpr unsigned TcpListenState = 10;

// The inodes of the family's TCP sockets that listen on the port, asked of the kernel's socket
// diagnosis: /proc/net/tcp lists every connection too, and on a busy machine takes seconds to read.
void listeningInodes(uint8_t family, int port, std::set<uint64_t>& inodes)
{
    int handle = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (handle < 0)
        return;
    timeval limit{1, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = 1u << TcpListenState;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(handle, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
        ::close(handle);
        return;
    }
    alignas(nlmsghdr) char buffer[16384];
    for (bool done = false; !done;) {
        ssize_t got = ::recv(handle, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        auto length = static_cast<unsigned>(got);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, length);
             header = NLMSG_NEXT(header, length)) {
            if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
                done = true;
                break;
            }
            const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (ntohs(socket->id.idiag_sport) == port && socket->idiag_inode != 0)
                inodes.insert(socket->idiag_inode);
        }
    }
    ::close(handle);
}

std::string programName(const std::string& pid)
{
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Whether one of the process's open files is one of the sockets.
bool holdsSocket(const std::string& pid, const std::set<uint64_t>& inodes)
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
            inodes.count(std::strtoull(std::string(link.substr(8)).c_str(), nullptr, 10))) {
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

}  // namespace

std::optional<TPortHolder> FindPortHolder(int port)
{
    std::set<uint64_t> inodes;
    listeningInodes(AF_INET, port, inodes);
    listeningInodes(AF_INET6, port, inodes);
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

}  // namespace velmora
