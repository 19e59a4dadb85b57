#include "operator/HttpProbe.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "publish/Unit_Const.h"
#include "base/Exception.h"
#include "handlers/RequestRouter.h"
#include "operator/Limits.h"
#include "base/Stream.h"
#include "base/StrUtils.h"
#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

using Clock = std::chrono::steady_clock;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Milliseconds left until the deadline, at least 0.
int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the event; answers false when the deadline passed first.
bool waitFor(int handle, short event, Clock::time_point deadline)
{
    for (;;) {
        pollfd ready{handle, event, 0};
        int polled = ::poll(&ready, 1, remainingMs(deadline));
        if (polled > 0)
            return true;
        if (polled == 0 || errno != EINTR)
            return false;
    }
}

class Socket {
public:
    Socket() : m_handle(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (m_handle >= 0)
            ::close(m_handle);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int handle() const { return m_handle; }

private:
    int m_handle;
};

THttpProbeResult failed(int error)
{
    THttpProbeResult result;
    result.Outcome = error == ECONNREFUSED ? THttpProbeResult::TOutcome::Refused : THttpProbeResult::TOutcome::Failed;
    result.Error = SystemErrorText(error);
    return result;
}

THttpProbeResult timedOut()
{
    THttpProbeResult result;
    result.Outcome = THttpProbeResult::TOutcome::TimedOut;
    return result;
}

// Answers 0 once connected, else the error; ETIMEDOUT when the deadline passed.
int connectBy(const Socket& socket, const sockaddr_in& target, Clock::time_point deadline)
{
    if (::connect(socket.handle(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    if (!waitFor(socket.handle(), POLLOUT, deadline))
        return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(socket.handle(), SOL_SOCKET, SO_ERROR, &error, &length);
    return error;
}

bool sendAll(const Socket& socket, std::string_view bytes, Clock::time_point deadline)
{
    while (!bytes.empty()) {
        if (!waitFor(socket.handle(), POLLOUT, deadline))
            return false;
        ssize_t sent = ::send(socket.handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (sent > 0)
            bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// Reads until the head's blank line, the peer's close, the size bound or the deadline; answers
// false only for the deadline.
bool readHead(const Socket& socket, std::string& received, Clock::time_point deadline)
{
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos && received.size() < MaxProbeReplyBytes) {
        if (!waitFor(socket.handle(), POLLIN, deadline))
            return false;
        ssize_t got = ::recv(socket.handle(), buffer, std::min(sizeof buffer, MaxProbeReplyBytes - received.size()), 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
            return true;
        if (got > 0)
            received.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

}  // namespace

std::optional<TReplyHead> ParseReplyHead(std::string_view bytes)
{
    size_t end = bytes.find("\r\n\r\n");
    if (end != std::string_view::npos)
        bytes = bytes.substr(0, end);
    size_t lineEnd = bytes.find('\n');
    std::string_view status = bytes.substr(0, lineEnd);
    // "HTTP/1.1 200 OK": the version, one blank, three digits.
    size_t space = status.find(' ');
    if (status.rfind("HTTP/", 0) != 0 || space == std::string_view::npos || status.size() < space + 4 ||
        !isDigit(status[space + 1]) || !isDigit(status[space + 2]) || !isDigit(status[space + 3]) ||
        (status.size() > space + 4 && status[space + 4] != ' ' && status[space + 4] != '\r'))
        return std::nullopt;
    TReplyHead head;
    head.StatusCode = (status[space + 1] - '0') * 100 + (status[space + 2] - '0') * 10 + (status[space + 3] - '0');
    while (lineEnd != std::string_view::npos) {
        bytes.remove_prefix(lineEnd + 1);
        lineEnd = bytes.find('\n');
        std::string_view line = bytes.substr(0, lineEnd);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameText(line.substr(0, colon), "Server")) {
            head.Server = Trim(line.substr(colon + 1));
            break;
        }
    }
    return head;
}

THttpProbeResult ProbeHttp(const std::string& address, int port, std::chrono::milliseconds limit,
                           const std::string& ownCheckToken)
{
    const Clock::time_point deadline = Clock::now() + limit;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    if (port < 1 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1)
        return failed(EINVAL);
    Socket socket;
    if (socket.handle() < 0)
        return failed(errno);
    int error = connectBy(socket, target, deadline);
    if (error == ETIMEDOUT)
        return timedOut();
    if (error != 0)
        return failed(error);
    std::string request = "HEAD / HTTP/1.1\r\nHost: " + address + ":" + std::to_string(port) + "\r\n";
    if (!ownCheckToken.empty())
        request += std::string(OwnCheckHeader) + ": " + ownCheckToken + "\r\n";
    request += "Connection: close\r\n\r\n";
    std::string received;
    if (!sendAll(socket, request, deadline) || !readHead(socket, received, deadline))
        return timedOut();
    THttpProbeResult result;
    std::optional<TReplyHead> head = ParseReplyHead(received);
    result.Outcome = head ? THttpProbeResult::TOutcome::Answered : THttpProbeResult::TOutcome::NotHttp;
    if (head)
        result.Head = std::move(*head);
    return result;
}

std::string ReachabilityText(const std::string& serverAddress, const THttpProbeResult& result,
                             std::chrono::milliseconds limit, bool& reachable)
{
    using TOutcome = THttpProbeResult::TOutcome;
    reachable = result.Outcome == TOutcome::Answered && result.Head.Server == SServerSoftware;
    // A full server that refuses the probe is reachable all the same, and says so with 503.
    if (reachable)
        return FormatMessage(result.Head.StatusCode == 503 ? SServidorOcupado : SServidorAcessivel, {serverAddress});
    std::string reason;
    switch (result.Outcome) {
    case TOutcome::Answered:
        reason = SOutroProgramaRespondeu;
        break;
    case TOutcome::Refused:
        reason = SConexaoRecusada;
        break;
    case TOutcome::TimedOut:
        reason = FormatMessage(SSemResposta, {FormatSeconds(limit)});
        break;
    case TOutcome::NotHttp:
        reason = SRespostaInvalida;
        break;
    case TOutcome::Failed:
        reason = result.Error;
        break;
    }
    return FormatMessage(SServidorInacessivel, {serverAddress, reason});
}

}  // namespace velmora
