#pragma once
// The live sessions of a server, found by identifier and client address in constant time and ended
// after SessionTimeout of idleness. The end hook runs after the session left the list, with no lock
// held, so it may take the session's own Lock without stalling other clients.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "http/IdClock.h"
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
    std::function<void(TIdHTTPSession& Sender)> OnSessionStart;
    std::function<void(TIdHTTPSession& Sender)> OnSessionEnd;

    virtual void DropSession(TIdHTTPSession& session) = 0;
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
    explicit TIdHTTPDefaultSessionList(const TIdClock& clock = TIdClock::system(),
                                       TIdRandomSource& random = TIdRandomSource::system());
    ~TIdHTTPDefaultSessionList() override;

    void DropSession(TIdHTTPSession& session) override;
    void EndAllSessions() override;
    void EndIdleSessions(bool all) override;
    std::shared_ptr<TIdHTTPSession> StartUniqueSession(const std::string& address) override;
    std::shared_ptr<TIdHTTPSession> FindSession(const std::string& id, const std::string& address) override;
    void AddSession(std::shared_ptr<TIdHTTPSession> session) override;

    size_t count() const;
    const TIdClock& clock() const { return m_clock; }
    void setClock(const TIdClock& clock) { m_clock = std::cref(clock); }
    void setRandomSource(TIdRandomSource& random) { m_random = std::ref(random); }

    // 15 characters, each a uniform choice among the first 61 of the alphabet.
    static std::string MakeSessionID(TIdRandomSource& random);

private:
    using Sessions = std::list<std::shared_ptr<TIdHTTPSession>>;

    void insertLocked(std::shared_ptr<TIdHTTPSession> session);
    void eraseLocked(Sessions::iterator at);
    bool idTakenLocked(const std::string& key) const;
    void endSessions(std::vector<std::shared_ptr<TIdHTTPSession>>& ended);

    std::reference_wrapper<const TIdClock> m_clock;
    std::reference_wrapper<TIdRandomSource> m_random;
    mutable std::mutex m_sessionsLock;
    // Least recently used first, so idle sessions are found without looking at the others.
    Sessions m_byAge;
    std::unordered_multimap<std::string, Sessions::iterator> m_byId;
};

}  // namespace velmora
