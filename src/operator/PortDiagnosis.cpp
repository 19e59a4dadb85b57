#include "operator/PortDiagnosis.h"

#include <algorithm>

#include "base/Exception.h"
#include "net/IdStack.h"
#include "operator/HttpProbe.h"
#include "operator/Limits.h"
#include "operator/OperatorTexts.h"
#include "publish/Unit_Const.h"

namespace velmora {

namespace {

std::string probedServerSoftware(int port)
{
    THttpProbeResult result = ProbeHttp("127.0.0.1", port, HolderProbeLimit);
    return result.Outcome == THttpProbeResult::TOutcome::Answered ? result.Head.Server : std::string();
}

std::string holderText(bool ourCopy, const std::optional<TPortHolder>& holder)
{
    std::string who = ourCopy ? SOutraCopia : SOutroPrograma;
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
    TIdStackRef stack;
    TIdStackSocketHandle handle = Id_INVALID_SOCKET;
    try {
        handle = stack.stack().createSocket(Id_SOCK_STREAM, 0);
    } catch (const EIdException&) {
        return stack.stack().lastError();
    }
    // As the server prepares its own: a port with only closing connections counts as free.
    stack.stack().prepareListener(handle, true);
    const int result = stack.stack().bind(handle, Id_PF_INET, port, "");
    const int error = result == 0 ? 0 : stack.stack().lastError();
    stack.stack().closeSocket(handle);
    return error;
}

std::vector<std::string> DiagnosePort(int port, const TPortDiagnosisTools& tools)
{
    const int error = tools.Bind(port);
    if (error == Id_WSAEACCES)
        return {FormatMessage(SSemPermissaoPorta, {std::to_string(port)})};
    if (error != Id_WSAEADDRINUSE)
        return {};
    const std::string software = tools.ServerSoftware ? tools.ServerSoftware(port) : probedServerSoftware(port);
    const bool ourCopy = software == SServerSoftware;
    std::optional<TPortHolder> holder = tools.Holder ? tools.Holder(port) : std::nullopt;
    return {FormatMessage(SPortaEmUsoPor, {std::to_string(port), holderText(ourCopy, holder)}),
            nextFreePortLine(port, tools.Bind)};
}

}  // namespace velmora
