#include "http/IdHTTPSession.h"

#include <exception>

#include "http/IdHTTPSessionList.h"

namespace velmora {

long TIdSessionData::indexOf(const std::string& name) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].Name == name)
            return static_cast<long>(i);
    return -1;
}

TIdHTTPSession::TIdHTTPSession(TIdHTTPCustomSessionList* owner, std::string sessionId, std::string clientAddress,
                               TClock::time_point now)
    : m_owner(owner), m_sessionId(std::move(sessionId)), m_clientAddress(std::move(clientAddress)),
      m_lastAccess(now.time_since_epoch().count())
{
}

TClock::time_point TIdHTTPSession::LastAccess() const
{
    return TClock::time_point(TClock::time_point::duration(m_lastAccess.load()));
}

void TIdHTTPSession::touch(TClock::time_point now)
{
    m_lastAccess.store(now.time_since_epoch().count());
}

bool TIdHTTPSession::IsSessionStale(TClock::time_point now) const
{
    TIdHTTPCustomSessionList* owner = Owner();
    int64_t timeout = owner ? owner->SessionTimeout : 0;
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - LastAccess()).count() > timeout;
}

void TIdHTTPSession::DoSessionEnd()
{
    if (m_ended.exchange(true))
        return;
    TIdHTTPCustomSessionList* owner = Owner();
    if (owner && owner->OnSessionEnd)
        owner->OnSessionEnd(*this);
}

void TIdHTTPSession::clearSessionData()
{
    std::lock_guard<std::mutex> guard(SessionDataMutex);
    SessionData.clear();
}

void TIdHTTPSession::EndSession()
{
    // A failing end hook does not keep the session alive: it is ended all the same, then the failure
    // goes on to the caller.
    std::exception_ptr hookFailure;
    try {
        DoSessionEnd();
    } catch (...) {
        hookFailure = std::current_exception();
    }
    clearSessionData();
    if (TIdHTTPCustomSessionList* owner = Owner())
        owner->DropSession(*this);
    detach();
    if (hookFailure)
        std::rethrow_exception(hookFailure);
}

}  // namespace velmora
