#include "http/IdHTTPSessionList.h"

#include <algorithm>

#include "http/IdStrings.h"

namespace velmora {

TIdHTTPDefaultSessionList::TIdHTTPDefaultSessionList(const TClock& clock, TIdRandomSource& random)
    : m_clock(clock), m_random(random)
{
}

TIdHTTPDefaultSessionList::~TIdHTTPDefaultSessionList()
{
    EndAllSessions();
}

std::string TIdHTTPDefaultSessionList::MakeSessionID(TIdRandomSource& random)
{
    // Bytes of 244 and above are drawn again, so that every choice among 61 is equally likely.
    constexpr unsigned kAcceptBelow = 256 / IdSessionIdChoices * IdSessionIdChoices;
    std::string id;
    id.reserve(IdSessionIdLength);
    unsigned char bytes[32];
    while (id.size() < IdSessionIdLength) {
        random.fill(bytes, sizeof bytes);
        for (unsigned char byte : bytes)
            if (byte < kAcceptBelow && id.size() < IdSessionIdLength)
                id += IdSessionIdAlphabet[byte % IdSessionIdChoices];
    }
    return id;
}

size_t TIdHTTPDefaultSessionList::count() const
{
    std::lock_guard<std::mutex> guard(m_sessionsMutex);
    return m_byAge.size();
}

void TIdHTTPDefaultSessionList::countLocked(const std::string& address, bool added)
{
    size_t& held = m_byClient[address];
    if (held > 0 && --m_clientsHolding[held] == 0)
        m_clientsHolding.erase(held);
    held = added ? held + 1 : held - 1;
    if (held > 0)
        ++m_clientsHolding[held];
    else
        m_byClient.erase(address);
}

void TIdHTTPDefaultSessionList::insertLocked(std::shared_ptr<TIdHTTPSession> session)
{
    countLocked(session->ClientAddress(), true);
    std::string key = UpperCase(session->SessionId());
    m_byAge.push_back(std::move(session));
    m_byId.emplace(std::move(key), std::prev(m_byAge.end()));
}

void TIdHTTPDefaultSessionList::eraseLocked(Sessions::iterator at)
{
    auto range = m_byId.equal_range(UpperCase((*at)->SessionId()));
    for (auto entry = range.first; entry != range.second; ++entry) {
        if (entry->second == at) {
            m_byId.erase(entry);
            break;
        }
    }
    countLocked((*at)->ClientAddress(), false);
    m_byAge.erase(at);
}

bool TIdHTTPDefaultSessionList::idTakenLocked(const std::string& key) const
{
    return m_byId.find(key) != m_byId.end();
}

void TIdHTTPDefaultSessionList::makeRoomLocked(Ended& ended)
{
    while (MaxSessions > 0 && m_byAge.size() >= MaxSessions) {
        // The walk from the least recently used is short where it matters: a flooding address
        // holds most of the oldest sessions.
        const size_t most = m_clientsHolding.rbegin()->first;
        auto at = std::find_if(m_byAge.begin(), m_byAge.end(),
                               [&](const auto& session) { return m_byClient.at(session->ClientAddress()) == most; });
        ended.push_back(*at);
        eraseLocked(at);
    }
}

void TIdHTTPDefaultSessionList::endSessions(Ended& ended)
{
    for (auto session = ended.rbegin(); session != ended.rend(); ++session) {
        try {
            (*session)->DoSessionEnd();
        } catch (...) {
            // The session has left the list; a hook that failed cannot bring it back, and the
            // sessions after it must end too.
        }
        (*session)->clearSessionData();
        (*session)->detach();
    }
    ended.clear();
}

std::shared_ptr<TIdHTTPSession> TIdHTTPDefaultSessionList::FindSession(const std::string& id,
                                                                       const std::string& address)
{
    std::lock_guard<std::mutex> guard(m_sessionsMutex);
    auto range = m_byId.equal_range(UpperCase(id));
    for (auto entry = range.first; entry != range.second; ++entry) {
        Sessions::iterator at = entry->second;
        if (!address.empty() && !SameText((*at)->ClientAddress(), address))
            continue;
        (*at)->touch(m_clock.get().now());
        m_byAge.splice(m_byAge.end(), m_byAge, at);
        return *at;
    }
    return nullptr;
}

std::shared_ptr<TIdHTTPSession> TIdHTTPDefaultSessionList::StartUniqueSession(const std::string& address)
{
    std::string id;
    for (;;) {
        id = MakeSessionID(m_random.get());
        std::lock_guard<std::mutex> guard(m_sessionsMutex);
        if (!idTakenLocked(UpperCase(id)))
            break;
    }
    auto session = std::make_shared<TIdHTTPSession>(this, id, address, m_clock.get().now());
    try {
        if (OnSessionStart)
            OnSessionStart(*session);
    } catch (...) {
        Ended halfMade{session};
        endSessions(halfMade);
        throw;
    }
    AddSession(session);
    return session;
}

void TIdHTTPDefaultSessionList::AddSession(std::shared_ptr<TIdHTTPSession> session)
{
    Ended ended;
    {
        std::lock_guard<std::mutex> guard(m_sessionsMutex);
        makeRoomLocked(ended);
        // Kept in order of last use, so the session counts as used now.
        session->touch(m_clock.get().now());
        insertLocked(std::move(session));
    }
    endSessions(ended);
}

void TIdHTTPDefaultSessionList::DropSession(TIdHTTPSession& session)
{
    std::lock_guard<std::mutex> guard(m_sessionsMutex);
    auto range = m_byId.equal_range(UpperCase(session.SessionId()));
    for (auto entry = range.first; entry != range.second; ++entry) {
        if (entry->second->get() == &session) {
            eraseLocked(entry->second);
            return;
        }
    }
}

void TIdHTTPDefaultSessionList::EndIdleSessions(bool all)
{
    Ended ended;
    {
        std::lock_guard<std::mutex> guard(m_sessionsMutex);
        auto now = m_clock.get().now();
        while (!m_byAge.empty() && (all || m_byAge.front()->IsSessionStale(now))) {
            ended.push_back(m_byAge.front());
            eraseLocked(m_byAge.begin());
        }
    }
    endSessions(ended);
}

void TIdHTTPDefaultSessionList::EndAllSessions()
{
    EndIdleSessions(true);
}

}  // namespace velmora
