#include "http/IdTCPServer.h"

#include <chrono>

#include "base/Stream.h"
#include "http/IdListenerThread.h"
#include "http/IdPeerThread.h"
#include "http/IdThreadMgrDefault.h"

namespace velmora {

TIdTCPServer::TIdTCPServer() = default;

TIdTCPServer::~TIdTCPServer()
{
    stopForDestruction();
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
    std::lock_guard<std::mutex> guard(m_threadsMutex);
    return m_threads.size();
}

bool TIdTCPServer::crowded() const
{
    std::lock_guard<std::mutex> guard(m_threadsMutex);
    return m_census.crowded();
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
        // A port that another program listens on is always refused, so that a second copy of the
        // program says so; the address is reused unless asked not to.
        binding.prepareListener(ReuseSocket != TIdReuseSocket::rsFalse);
        binding.bind();
        // The listener waits for readiness itself; accepting must never block past a stop request.
        binding.setNonBlocking();
    }
}

void TIdTCPServer::listenAll()
{
    for (size_t i = 0; i < m_bindings.count(); ++i) {
        TIdSocketHandle& binding = m_bindings[i];
        if (!binding.listen(ListenQueue))
            throw EIdSocketHandleError(
                FormatMessage(RSListenFailed, {std::to_string(binding.Port), SystemErrorText(LastSystemError())}));
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
    // Every connection holds a handle, and a file it sends another.
    SocketStack()->raiseHandleLimit();
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
    // Shutting a socket down is a system call that never blocks, and it is what keeps the connection
    // (freed under this lock) from going away meanwhile.
    std::lock_guard<std::mutex> guard(m_threadsMutex);
    for (auto& [ticket, thread] : m_threads)
        if (thread->m_connection)
            thread->m_connection->closeFromOutside();
}

bool TIdTCPServer::waitForConnections()
{
    return awaitConnections(std::chrono::steady_clock::now() + std::chrono::milliseconds(TerminateWaitTime));
}

bool TIdTCPServer::awaitConnections(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> guard(m_threadsMutex);
    return m_threadsChanged.wait_until(guard, deadline, [this] { return m_threads.empty(); });
}

void TIdTCPServer::stopForDestruction()
{
    try {
        SetActive(false);
    } catch (...) {
        // Nothing leaves a destructor; threads that outlived the wait are awaited below.
    }
    closeConnections();
    {
        std::unique_lock<std::mutex> guard(m_threadsMutex);
        m_threadsChanged.wait(guard, [this] { return m_threads.empty(); });
    }
    m_ownThreadMgr.reset();
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

bool TIdTCPServer::tryAddConnectionThread(TIdPeerThread& thread)
{
    const std::string client = thread.m_connection->IOHandler()->peerAddress();
    std::lock_guard<std::mutex> guard(m_threadsMutex);
    m_census.MaxConnections = MaxConnections;
    m_census.MaxConnectionsPerClient = MaxConnectionsPerClient;
    const uint64_t ticket = ++m_lastTicket;
    const TIdConnectionCensus::TAdmission admission = m_census.admit(client, ticket);
    if (!admission.Admitted)
        return false;
    // The connection given up ends on its own thread, as at deactivation; shutting its socket down
    // never blocks.
    if (admission.Closing) {
        TIdPeerThread* closing = m_threads.at(*admission.Closing);
        if (closing->m_connection)
            closing->m_connection->closeFromOutside();
    }
    thread.m_ticket = ticket;
    m_threads.emplace(ticket, &thread);
    return true;
}

void TIdTCPServer::requestLineArrived(TIdPeerThread& thread)
{
    std::lock_guard<std::mutex> guard(m_threadsMutex);
    m_census.requestLineArrived(thread.m_ticket);
}

void TIdTCPServer::removeConnectionThread(TIdPeerThread& thread)
{
    std::lock_guard<std::mutex> guard(m_threadsMutex);
    if (m_threads.erase(thread.m_ticket) == 0)
        return;
    m_census.remove(thread.m_ticket);
    // Freed under the lock: deactivation reaches connections only through this list.
    thread.m_connection.reset();
    m_threadsChanged.notify_all();
}

}  // namespace velmora
