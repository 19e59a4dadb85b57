#pragma once
// The connection server: turns its listening bindings into TCP connections, each served by a fresh
// thread of its own that repeats the per-connection step. Activation binds and listens; deactivation
// closes every socket and waits for the connection threads; the server is never freed before them.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "http/Limits.h"
#include "http/IdConnectionCensus.h"
#include "http/IdServerIOHandlerSocket.h"
#include "http/IdTCPConnection.h"
#include "http/IdThreadMgr.h"
#include "net/IdSocketHandle.h"

namespace velmora {

class TIdPeerThread;
class TIdListenerThread;
class TIdTCPServer;

class EIdTCPServerError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdNoExecuteSpecified : public EIdTCPServerError {
public:
    using EIdTCPServerError::EIdTCPServerError;
};
class EIdTerminateThreadTimeout : public EIdTCPServerError {
public:
    using EIdTCPServerError::EIdTCPServerError;
};

inline constexpr const char* RSNoExecuteSpecified = "No execute handler found.";
inline constexpr const char* RSTerminateThreadTimeout = "Terminate Thread Timeout";
inline constexpr const char* RSNoIOHandler = "The connection has no I/O handler.";

// An accept that the system refused (descriptors exhausted, say) is retried after this pause.
inline constexpr int IdAcceptFailurePause = 100;

enum class TIdReuseSocket { rsOSDependent, rsTrue, rsFalse };

// A connection of the server: a connection that knows its server.
class TIdTCPServerConnection : public TIdTCPConnection {
public:
    explicit TIdTCPServerConnection(TIdTCPServer& server) : Server(server) {}
    TIdTCPServer& Server;
};

class TIdTCPServer {
public:
    TIdTCPServer();
    virtual ~TIdTCPServer();
    TIdTCPServer(const TIdTCPServer&) = delete;
    TIdTCPServer& operator=(const TIdTCPServer&) = delete;

    bool Active() const { return m_active; }
    // Throws what activation met (EIdCouldNotBindSocket for a port in use), leaving the server inactive
    // without the binding it added. Deactivation throws EIdTerminateThreadTimeout when connection
    // threads outlive TerminateWaitTime; the server is inactive then, and freeing it closes those
    // connections again and waits for their threads.
    void SetActive(bool value);

    TIdSocketHandles& Bindings() { return m_bindings; }
    int DefaultPort() const { return m_bindings.DefaultPort; }
    void SetDefaultPort(int port) { m_bindings.DefaultPort = port; }

    int ListenQueue = 15;
    // Live connections at most (0 = no limit). One more takes the place of a connection that has not
    // sent its first request line, from the address that holds the most (TIdConnectionCensus), or is
    // refused: written refusalReply() and closed.
    int MaxConnections = 0;
    // Live connections from one client address at most (0 = no limit); one more from it is refused,
    // so that one client cannot take every connection the server allows.
    int MaxConnectionsPerClient = IdMaxConnectionsPerClient;
    // Milliseconds a send may go without progress before its connection ends (0 = no limit), so that a
    // client that stops reading cannot hold a thread for ever. Given to each new connection.
    int SendTimeout = IdSendTimeoutDefault;
    // Written, when not empty, to a connection refused for MaxConnections or MaxConnectionsPerClient.
    std::string MaxConnectionReply;
    // What a refused connection is written: MaxConnectionReply here.
    virtual const std::string& refusalReply() const { return MaxConnectionReply; }
    TIdReuseSocket ReuseSocket = TIdReuseSocket::rsOSDependent;
    int TerminateWaitTime = 5000;
    size_t ThreadStackSize = IdThreadStackSizeDefault;

    std::function<void(TIdPeerThread& AThread)> OnConnect;
    std::function<void(TIdPeerThread& AThread)> OnExecute;
    std::function<void(TIdPeerThread& AThread)> OnDisconnect;
    std::function<void(TIdPeerThread& AThread, const std::exception& AException)> OnException;
    std::function<void(TIdListenerThread& AThread, const std::exception& AException)> OnListenException;

    TIdServerIOHandlerSocket& IOHandler();
    // The given manager is not owned; without one the server makes and owns a TIdThreadMgrDefault.
    void SetThreadMgr(TIdThreadMgr* manager);
    TIdThreadMgr& ThreadMgr();

    // Live connection threads.
    size_t connectionCount() const;
    // Waits until every connection thread is done with the server, no later than the deadline;
    // answers whether they all are.
    bool awaitConnections(std::chrono::steady_clock::time_point deadline);
    // More than IdCrowdedPercent of MaxConnections are taken.
    bool crowded() const;

    // The per-connection step: answers whether a step was available.
    virtual bool DoExecute(TIdPeerThread& thread);
    virtual void DoConnect(TIdPeerThread& thread);
    virtual void DoDisconnect(TIdPeerThread& thread);
    virtual void DoException(TIdPeerThread& thread, const std::exception& error);
    virtual void DoListenException(TIdListenerThread& thread, const std::exception& error);

protected:
    virtual void activate();
    virtual void deactivate();
    // Deactivates, then closes every connection still live and waits, without limit, until its
    // thread is done with the server; throws nothing. The destructor of every class of server calls
    // it first: a connection thread calls the server's virtual steps, which must not change under it.
    void stopForDestruction();
    // The connection has read its first request line: no newcomer takes its place any more.
    void requestLineArrived(TIdPeerThread& thread);

private:
    friend class TIdPeerThread;
    friend class TIdListenerThread;

    void bindAll();
    void listenAll();
    void stopListeners();
    void closeConnections();
    bool waitForConnections();
    // Adds the thread to the live list as the census admits it, closing the connection whose place it
    // takes; answers false when it is refused.
    bool tryAddConnectionThread(TIdPeerThread& thread);
    // The thread's last act towards the server: frees its connection under the lock.
    void removeConnectionThread(TIdPeerThread& thread);

    TIdStackRef m_stack;
    bool m_active = false;
    TIdSocketHandles m_bindings;
    std::unique_ptr<TIdServerIOHandlerSocket> m_ioHandler;
    TIdThreadMgr* m_threadMgr = nullptr;
    std::unique_ptr<TIdThreadMgr> m_ownThreadMgr;
    std::vector<std::unique_ptr<TIdListenerThread>> m_listeners;
    // Guards m_threads, m_census, m_lastTicket and the connections of those threads, which are freed
    // under it; m_threadsChanged signals a thread leaving.
    mutable std::mutex m_threadsMutex;
    std::condition_variable m_threadsChanged;
    // Live connection threads by their census ticket.
    std::unordered_map<uint64_t, TIdPeerThread*> m_threads;
    TIdConnectionCensus m_census;
    uint64_t m_lastTicket = 0;
};

}  // namespace velmora
