#include "operator/PublishSession.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "operator/OperatorTexts.h"

namespace velmora {

TPublishSession::TPublishSession(IPublishView& view, IOperatorView* panel, TIdIPWatch::TAddressSource addressSource,
                                 TInterfaceSource interfaces, const TClock& clock)
    : m_publisher(
          std::make_unique<TPublishController>(view, static_cast<IPublishListener*>(this), std::move(addressSource)))
{
    if (panel)
        m_operator = std::make_unique<TOperatorController>(*m_publisher, *panel, std::move(interfaces), clock);
}

TPublishSession::~TPublishSession()
{
    Shutdown();
    // The publisher goes first: freeing its server waits for a connection thread that outlived the
    // server's wait, and such a thread still reports its request to the operator's controller.
    m_publisher.reset();
}

void TPublishSession::Start()
{
    if (m_operator)
        m_operator->Start();
    m_publisher->Start();
}

void TPublishSession::Tick()
{
    if (m_operator)
        m_operator->Tick();
}

std::optional<std::string> TPublishSession::Shutdown()
{
    if (std::exchange(m_shutDown, true))
        return std::nullopt;
    const auto connectionsBy =
        std::chrono::steady_clock::now() + std::max(ExitTime - ExitLogFlushTime, std::chrono::milliseconds(0));
    std::optional<std::string> failure;
    auto step = [&failure](auto&& run) {
        try {
            run();
        } catch (const std::exception& error) {
            if (!failure)
                failure = error.what();
        }
    };
    // The panel's last checks first: they read the publisher's server and addresses.
    if (m_operator)
        step([this] { m_operator->Shutdown(); });
    step([this] { m_publisher->ReleasePublication(); });
    // The watch, then the server: once it has ended, no connection thread reports a request to the
    // operator's controller any more.
    step([&] { m_publisher->Shutdown(connectionsBy); });
    TIdHTTPServer& server = m_publisher->IdHTTPServer1();
    m_threadsOutlived = !server.awaitConnections(connectionsBy);
    if (m_threadsOutlived)
        m_publisher->Log().Append(FormatMessage(SConexoesNaoTerminaram, {std::to_string(server.connectionCount())}));
    return failure;
}

void TPublishSession::ExitIfThreadsOutlived(int status, const std::function<void()>& flushLog)
{
    if (!m_threadsOutlived)
        return;
    flushLog();
    std::_Exit(status);
}

void TPublishSession::ExitIfThreadsOutlivedAfterWindow()
{
    ExitIfThreadsOutlived(0, [this] {
        for (const std::string& line : m_publisher->Log().Take())
            std::cerr << line << '\n';
    });
}

std::optional<std::string> TPublishSession::AddressToCompose()
{
    return m_operator ? m_operator->AddressToCompose() : std::nullopt;
}

void TPublishSession::AddressesComposed()
{
    if (m_operator)
        m_operator->AddressesComposed();
}

void TPublishSession::BeforeServerStart()
{
    if (m_operator)
        m_operator->BeforeServerStart();
}

void TPublishSession::Published()
{
    if (m_operator)
        m_operator->Published();
}

void TPublishSession::ServerStartFailed(int port, const std::exception& error)
{
    if (m_operator)
        m_operator->ServerStartFailed(port, error);
}

void TPublishSession::ConnectionPageOpened(const std::string& peer)
{
    if (m_operator)
        m_operator->ConnectionPageOpened(peer);
}

void TPublishSession::RequestDone(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response,
                                  bool completed)
{
    if (m_operator)
        m_operator->RequestDone(request, response, completed);
}

}  // namespace velmora
