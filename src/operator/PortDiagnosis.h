#pragma once
// Why the server could not listen on its port, told in a way that helps: who holds the port (another
// copy of this program, known by its "Server" header, or another program, named when the system
// tells), the next port that is free, or that the port needs privileges.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Ports tried after a port in use before the search gives up.
inline constexpr int FreePortSearchSpan = 100;

// Tries to bind a listening socket on every address to the port, as the server does; answers 0
// when it could, else the system's error code.
using TPortBinder = std::function<int(int port)>;
int TryBindPort(int port);

struct TPortHolder {
    std::string Program;
    int Pid = 0;
};

// The process that listens on the TCP port, from the system's table of listening sockets; none when
// no listening socket or no process holding it can be seen (another user's processes are hidden
// from a non-root user).
std::optional<TPortHolder> FindPortHolder(int port);

struct TPortDiagnosisTools {
    TPortBinder Bind = TryBindPort;
    // The "Server" header of what answers on 127.0.0.1 at the port; empty when nothing does.
    std::function<std::string(int port)> ServerSoftware;
    std::function<std::optional<TPortHolder>(int port)> Holder = FindPortHolder;
};

// The log's lines for a port the server failed to bind: empty when the port binds now or the
// failure is of another kind.
std::vector<std::string> DiagnosePort(int port, const TPortDiagnosisTools& tools = {});

}  // namespace velmora
