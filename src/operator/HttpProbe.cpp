#include "operator/HttpProbe.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "handlers/RequestRouter.h"
#include "base/StrUtils.h"
#include "net/IdStack.h"
#include "operator/Limits.h"
#include "operator/OperatorTexts.h"
#include "publish/Unit_Const.h"

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

// A socket of the program's own stack, closed when it goes.
class Socket {
public:
    Socket() : m_handle(m_stack.stack().createSocket(Id_SOCK_STREAM, 0)) { stack().setNonBlocking(m_handle); }
    ~Socket() { stack().closeSocket(m_handle); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    TIdStack& stack() const { return m_stack.stack(); }
    TIdStackSocketHandle handle() const { return m_handle; }

    // Waits until the socket can be written (or read); answers false when the deadline passed first.
    bool waitFor(bool write, Clock::time_point deadline) const
    {
        for (;;) {
            TIdSocketList ready{m_handle}, failed{m_handle};
            const int result =
                stack().select(write ? nullptr : &ready, write ? &ready : nullptr, &failed, remainingMs(deadline));
            if (result > 0)
                return true;
            if (result == 0 || !stack().CheckSocketResult(result, {Id_WSAEINTR}))
                return false;
        }
    }

private:
    TIdStackRef m_stack;
    TIdStackSocketHandle m_handle;
};

THttpProbeResult failed(int error)
{
    THttpProbeResult result;
    result.Outcome =
        error == Id_WSAECONNREFUSED ? THttpProbeResult::TOutcome::Refused : THttpProbeResult::TOutcome::Failed;
    result.Error = SystemErrorText(error);
    return result;
}

THttpProbeResult timedOut()
{
    THttpProbeResult result;
    result.Outcome = THttpProbeResult::TOutcome::TimedOut;
    return result;
}

// Answers 0 once connected, else the error; Id_WSAETIMEDOUT when the deadline passed.
int connectBy(const Socket& socket, const std::string& address, int port, Clock::time_point deadline)
{
    TIdStack& stack = socket.stack();
    const int result = stack.connect(socket.handle(), Id_PF_INET, port, address);
    if (result == 0)
        return 0;
    if (!stack.CheckSocketResult(result, {Id_WSAEINPROGRESS, Id_WSAEWOULDBLOCK}))
        return stack.lastError();
    if (!socket.waitFor(true, deadline))
        return Id_WSAETIMEDOUT;
    return stack.pendingError(socket.handle());
}

bool sendAll(const Socket& socket, std::string_view bytes, Clock::time_point deadline)
{
    while (!bytes.empty()) {
        if (!socket.waitFor(true, deadline))
            return false;
        const int64_t sent = socket.stack().send(socket.handle(), bytes.data(), bytes.size(), 0);
        if (sent < 0 && !socket.stack().CheckSocketResult(static_cast<int>(sent), {Id_WSAEINTR, Id_WSAEWOULDBLOCK}))
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
        if (!socket.waitFor(false, deadline))
            return false;
        const int64_t got = socket.stack().receive(socket.handle(), buffer,
                                                   std::min(sizeof buffer, MaxProbeReplyBytes - received.size()), 0);
        if (got == 0 ||
            (got < 0 && !socket.stack().CheckSocketResult(static_cast<int>(got), {Id_WSAEINTR, Id_WSAEWOULDBLOCK})))
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
    if (port < 1 || port > 65535 || !TIdStack::isIP(address))
        return failed(Id_WSAEINVAL);
    std::optional<Socket> made;
    try {
        made.emplace();
    } catch (const EIdException&) {
        return failed(LastSystemError());
    }
    const Socket& socket = *made;
    int error = connectBy(socket, address, port, deadline);
    if (error == Id_WSAETIMEDOUT)
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
