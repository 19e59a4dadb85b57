#pragma once
// One client's session, tied to its requests by the "IDHTTPSESSIONID" cookie. Shared: a request keeps
// its session alive until it is done, even when the session ends meanwhile. SessionData holds the
// application's per-session objects, guarded by SessionDataMutex.

#include <any>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/Clock.h"

namespace velmora {

class TIdHTTPCustomSessionList;

// Named entries, each carrying an object of the application's choosing (a std::shared_ptr, say).
class TIdSessionData {
public:
    struct Entry {
        std::string Name;
        std::any Object;
    };

    void add(std::string name, std::any object) { m_entries.push_back({std::move(name), std::move(object)}); }
    size_t count() const { return m_entries.size(); }
    Entry& operator[](size_t index) { return m_entries[index]; }
    // The first entry of that name (exact), or -1.
    long indexOf(const std::string& name) const;
    // The object of the first entry of that name when it holds a T; none otherwise.
    template <class T>
    T* find(const std::string& name)
    {
        long index = indexOf(name);
        return index < 0 ? nullptr : std::any_cast<T>(&m_entries[static_cast<size_t>(index)].Object);
    }
    void clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
};

class TIdHTTPSession {
public:
    TIdHTTPSession(TIdHTTPCustomSessionList* owner, std::string sessionId, std::string clientAddress,
                   TClock::time_point now);
    virtual ~TIdHTTPSession() = default;

    const std::string& SessionId() const { return m_sessionId; }
    const std::string& ClientAddress() const { return m_clientAddress; }
    TClock::time_point LastAccess() const;
    void touch(TClock::time_point now);

    // Guards SessionData and the objects it holds; handlers of the session's requests take it, and the
    // server takes it only to clear SessionData when the session ends.
    std::mutex SessionDataMutex;
    TIdSessionData SessionData;

    TIdHTTPCustomSessionList* Owner() const { return m_owner.load(); }
    void detach() { m_owner.store(nullptr); }

    // True when idle for longer than the owner's time-out.
    virtual bool IsSessionStale(TClock::time_point now) const;
    // Raises the owner's OnSessionEnd once, however often it is called.
    virtual void DoSessionEnd();
    // Ends the session outside the list's cleaning: the end notification, then out of its list.
    void EndSession();
    // Empties SessionData under SessionDataMutex, once the end notification has run.
    void clearSessionData();

private:
    std::atomic<TIdHTTPCustomSessionList*> m_owner;
    std::string m_sessionId;
    std::string m_clientAddress;
    std::atomic<TClock::time_point::rep> m_lastAccess;
    std::atomic<bool> m_ended{false};
};

}  // namespace velmora
