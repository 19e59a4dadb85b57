#include "http/IdTCPServer.h"

#include <chrono>
#include <fcntl.h>

#include "base/Stream.h"
#include "http/IdListenerThread.h"
#include "http/IdPeerThread.h"
#include "http/IdThreadMgrDefault.h"

namespace velmora {

TIdTCPServer::TIdTCPServer() = default;

TIdTCPServer::~TIdTCPServer()
{
    if (!m_active)
        return;
    try {
        SetActive(false);
    } catch (const EIdTerminateThreadTimeout&) {
        // The threads still use this server: it must not go before they do.
        std::unique_lock<std::mutex> guard(m_threadsLock);
        m_threadsChanged.wait(guard, [this] { return m_threads.empty(); });
    }
}

void TIdTCPServer::SetActive(bool value)
{
    if (value == m_active)
        return;
    if (value)
        activate();
    else
        deactivate();
}

TIdServerIOHandlerSocket& TIdTCPServer::IOHandler()
{
    if (!m_ioHandler)
        m_ioHandler = std::make_unique<TIdServerIOHandlerSocket>();
    return *m_ioHandler;
}

void TIdTCPServer::SetThreadMgr(TIdThreadMgr* manager)
{
    m_threadMgr = manager;
}

TIdThreadMgr& TIdTCPServer::ThreadMgr()
{
    if (m_threadMgr)
        return *m_threadMgr;
    if (!m_ownThreadMgr)
        m_ownThreadMgr = std::make_unique<TIdThreadMgrDefault>();
    return *m_ownThreadMgr;
}

size_t TIdTCPServer::connectionCount() const
{
    std::lock_guard<std::mutex> guard(m_threadsLock);
    return m_threads.size();
}

bool TIdTCPServer::DoExecute(TIdPeerThread& thread)
{
    if (!OnExecute)
        return false;
    OnExecute(thread);
    return true;
}

void TIdTCPServer::DoConnect(TIdPeerThread& thread)
{
    if (OnConnect)
        OnConnect(thread);
}

void TIdTCPServer::DoDisconnect(TIdPeerThread& thread)
{
    if (OnDisconnect)
        OnDisconnect(thread);
}

void TIdTCPServer::DoException(TIdPeerThread& thread, const std::exception& error)
{
    if (OnException)
        OnException(thread, error);
}

void TIdTCPServer::DoListenException(TIdListenerThread& thread, const std::exception& error)
{
    if (OnListenException)
        OnListenException(thread, error);
}

void TIdTCPServer::bindAll()
{
    for (size_t i = 0; i < m_bindings.count(); ++i) {
        TIdSocketHandle& binding = m_bindings[i];
        binding.allocateSocket();
        // Without address reuse a restarted server could not bind while old connections linger in
        // TIME_WAIT; a port that another program listens on is still refused.
        if (ReuseSocket != TIdReuseSocket::rsFalse)
            binding.setSocketOption(SOL_SOCKET, SO_REUSEADDR, 1);
        binding.bind();
        // The listener waits for readiness itself; accepting must never block past a stop request.
        ::fcntl(binding.Handle(), F_SETFL, ::fcntl(binding.Handle(), F_GETFL) | O_NONBLOCK);
    }
}

void TIdTCPServer::listenAll()
{
    for (size_t i = 0; i < m_bindings.count(); ++i) {
        TIdSocketHandle& binding = m_bindings[i];
        if (!binding.listen(ListenQueue))
            throw EIdSocketHandleError(
                FormatMessage(RSListenFailed, {std::to_string(binding.Port), SystemErrorText(errno)}));
        auto listener = std::make_unique<TIdListenerThread>(*this, binding);
        listener->start();
        m_listeners.push_back(std::move(listener));
    }
}

void TIdTCPServer::activate()
{
    const size_t bindingsBefore = m_bindings.count();
    if (m_bindings.count() == 0)
        m_bindings.add().Port = DefaultPort();
    ThreadMgr().ThreadClass = [this] { return std::make_unique<TIdPeerThread>(*this); };
    IOHandler();
    try {
        m_active = true;
        bindAll();
        listenAll();
    } catch (...) {
        try {
            deactivate();
        } catch (const EIdException&) {
            // The activation's own failure is the one the caller must see.
        }
        for (size_t i = 0; i < m_bindings.count(); ++i)
            m_bindings[i].closeSocket();
        // The next activation must bind the default port of its own moment, not this one's.
        m_bindings.truncate(bindingsBefore);
        throw;
    }
}

void TIdTCPServer::stopListeners()
{
    for (auto& listener : m_listeners) {
        listener->terminate();
        listener->Binding().shutdownFromOutside();
        listener->waitFor();
        listener->Binding().closeSocket();
    }
    m_listeners.clear();
}

void TIdTCPServer::closeConnections()
{
    std::lock_guard<std::mutex> guard(m_threadsLock);
    for (TIdPeerThread* thread : m_threads)
        if (thread->m_connection)
            thread->m_connection->closeFromOutside();
}

bool TIdTCPServer::waitForConnections()
{
    std::unique_lock<std::mutex> guard(m_threadsLock);
    return m_threadsChanged.wait_for(guard, std::chrono::milliseconds(TerminateWaitTime),
                                     [this] { return m_threads.empty(); });
}

void TIdTCPServer::deactivate()
{
    stopListeners();
    closeConnections();
    bool allEnded = waitForConnections();
    m_active = false;
    if (!allEnded)
        throw EIdTerminateThreadTimeout(RSTerminateThreadTimeout);
    m_ownThreadMgr.reset();
}

void TIdTCPServer::addConnectionThread(TIdPeerThread& thread)
{
    std::lock_guard<std::mutex> guard(m_threadsLock);
    m_threads.insert(&thread);
}

void TIdTCPServer::removeConnectionThread(TIdPeerThread& thread)
{
    std::unique_ptr<TIdTCPServerConnection> connection;
    {
        std::lock_guard<std::mutex> guard(m_threadsLock);
        m_threads.erase(&thread);
        connection = std::move(thread.m_connection);
        // Freed under the lock: deactivation reaches connections only through this list.
        connection.reset();
        m_threadsChanged.notify_all();
    }
}

}  // namespace velmora
