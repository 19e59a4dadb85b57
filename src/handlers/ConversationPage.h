#pragma once
// The page "/talvo.html": each HTTP session has its own conversation engine, which chooses a
// personality or answers a thought; the reply goes into the page template, or bare once the
// engine was told to shut up. The session's lock keeps its requests apart and keeps the engine
// alive while a request uses it.

#include <functional>

#include "talk/Limits.h"
#include "handlers/PublicationState.h"
#include "http/IdHTTPRequestInfo.h"
#include "http/IdHTTPResponseInfo.h"
#include "http/IdHTTPSession.h"

namespace velmora {

class EConversationEnded : public Exception {
public:
    using Exception::Exception;
};
class EThoughtTooLong : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* SessionEngineName = "Talvo";
inline constexpr const char* ResponseMarker = "{%RESPONSE%}";
inline constexpr const char* SoundMarker = "{%SOUND%}";
inline constexpr const char* SConversationEnded = "The conversation of this session has ended.";
inline constexpr const char* SThoughtTooLong = "The thought is too long.";

class TConversationPage {
public:
    explicit TConversationPage(const TPublicationState& state) : m_state(state) {}

    // The session hooks: the start gives the session its engine, the end destroys it once no
    // request of the session uses it any more.
    void IdHTTPServer1SessionStart(TIdHTTPSession& Sender);
    void IdHTTPServer1SessionEnd(TIdHTTPSession& Sender);

    // Raises ENoPersonality for a thought before any personality, EThoughtTooLong for one of more
    // than MaxThoughtLength bytes (the conversation stays as it was), and EConversationEnded for a
    // request whose session was ended while it waited.
    void ConversationPage(TIdHTTPRequestInfo& ARequestInfo, TIdHTTPResponseInfo& AResponseInfo);

private:
    const TPublicationState& m_state;
};

// The page: the first "{%RESPONSE%}" of the template made the reply, then the first "{%SOUND%}"
// made the background-sound tag, or nothing when there is no sound.
std::string FillPageTemplate(const std::string& pageTemplate, const std::string& reply, const std::string& sound);

}  // namespace velmora
