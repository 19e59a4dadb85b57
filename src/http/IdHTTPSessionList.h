#pragma once
// The live sessions of a server, found by identifier and client address in constant time, ended
// after SessionTimeout of idleness, and at most MaxSessions of them: one more first ends the least
// recently used session of the address that holds the most, so that one client's flood ends only its
// own sessions. The end hook runs after the session left the list, with no lock held, so it may take
// the session's own SessionDataMutex without stalling other clients.

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "http/Limits.h"
#include "base/Clock.h"
#include "http/IdHTTPSession.h"
#include "http/IdRandomSource.h"

namespace velmora {

inline constexpr size_t IdSessionIdLength = 15;
// Identifiers draw from the first 61 characters; the final "0" is never picked.
inline constexpr const char* IdSessionIdAlphabet = "qwertzuiopasdfghjklyxcvbnmQWERTZUIOPASDFGHJKLYXCVBNM1234567890";
inline constexpr size_t IdSessionIdChoices = 61;

class TIdHTTPCustomSessionList {
public:
    virtual ~TIdHTTPCustomSessionList() = default;

    // Milliseconds.
    int64_t SessionTimeout = 0;
    // Live sessions at most (0 = no limit); a session started or added beyond it first ends the least
    // recently used session of the address that holds the most (of several that hold as many, the
    // one used least recently of all their sessions).
    size_t MaxSessions = IdMaxSessions;
    std::function<void(TIdHTTPSession& Sender)> OnSessionStart;
    std::function<void(TIdHTTPSession& Sender)> OnSessionEnd;

    virtual void DropSession(TIdHTTPSession& session) = 0;
    // Sessions that end together end from the last to the first of the list (the most recently used
    // first); an end hook that fails ends its session all the same.
    virtual void EndAllSessions() = 0;
    virtual void EndIdleSessions(bool all) = 0;
    // Throws what OnSessionStart throws, after ending the half-made session.
    virtual std::shared_ptr<TIdHTTPSession> StartUniqueSession(const std::string& address) = 0;
    // Answers none when no live session has that identifier (any letter case) for that address
    // (any address when empty); a found session counts as used now.
    virtual std::shared_ptr<TIdHTTPSession> FindSession(const std::string& id, const std::string& address) = 0;
    virtual void AddSession(std::shared_ptr<TIdHTTPSession> session) = 0;
};

class TIdHTTPDefaultSessionList : public TIdHTTPCustomSessionList {
public:
    explicit TIdHTTPDefaultSessionList(const TClock& clock = TClock::system(),
                                       TIdRandomSource& random = TIdRandomSource::system());
    ~TIdHTTPDefaultSessionList() override;

    void DropSession(TIdHTTPSession& session) override;
    void EndAllSessions() override;
    void EndIdleSessions(bool all) override;
    std::shared_ptr<TIdHTTPSession> StartUniqueSession(const std::string& address) override;
    std::shared_ptr<TIdHTTPSession> FindSession(const std::string& id, const std::string& address) override;
    void AddSession(std::shared_ptr<TIdHTTPSession> session) override;

    size_t count() const;
    const TClock& clock() const { return m_clock; }
    void setClock(const TClock& clock) { m_clock = std::cref(clock); }
    void setRandomSource(TIdRandomSource& random) { m_random = std::ref(random); }

    // 15 characters, each a uniform choice among the first 61 of the alphabet.
    static std::string MakeSessionID(TIdRandomSource& random);

private:
    using Sessions = std::list<std::shared_ptr<TIdHTTPSession>>;

    using Ended = std::vector<std::shared_ptr<TIdHTTPSession>>;

    // Takes out sessions of the addresses that hold the most until there is room for one more.
    void makeRoomLocked(Ended& ended);
    // Counts a session of the address in or out.
    void countLocked(const std::string& address, bool added);
    void insertLocked(std::shared_ptr<TIdHTTPSession> session);
    void eraseLocked(Sessions::iterator at);
    bool idTakenLocked(const std::string& key) const;
    static void endSessions(Ended& ended);

    std::reference_wrapper<const TClock> m_clock;
    std::reference_wrapper<TIdRandomSource> m_random;
    // Guards m_byAge, m_byId, m_byClient and m_clientsHolding; never held while a session hook runs.
    mutable std::mutex m_sessionsMutex;
    // Least recently used first, so idle sessions are found without looking at the others.
    Sessions m_byAge;
    std::unordered_multimap<std::string, Sessions::iterator> m_byId;
    // Sessions by client address, and how many addresses hold each number of sessions.
    std::unordered_map<std::string, size_t> m_byClient;
    std::map<size_t, size_t> m_clientsHolding;
};

}  // namespace velmora
