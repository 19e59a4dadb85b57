#include "handlers/ConversationPage.h"

#include <memory>

#include "base/StrUtils.h"
#include "handlers/HtmlEscape.h"
#include "talk/Talvo.h"

namespace velmora {

namespace {

using TEngine = std::shared_ptr<TTalvo>;

void replaceFirst(std::string& text, const std::string& marker, const std::string& replacement)
{
    size_t at = text.find(marker);
    if (at != std::string::npos)
        text.replace(at, marker.size(), replacement);
}

}  // namespace

std::string FillPageTemplate(const std::string& pageTemplate, const std::string& reply, const std::string& sound)
{
    std::string page = pageTemplate;
    replaceFirst(page, ResponseMarker, reply);
    replaceFirst(page, SoundMarker, sound.empty() ? std::string() : "<BGSOUND SRC=" + sound + ".wav>");
    return page;
}

void TConversationPage::IdHTTPServer1SessionStart(TIdHTTPSession& Sender)
{
    std::lock_guard lock(Sender.SessionDataMutex);
    Sender.SessionData.add(SessionEngineName, std::make_shared<TTalvo>());
}

void TConversationPage::IdHTTPServer1SessionEnd(TIdHTTPSession& Sender)
{
    std::lock_guard lock(Sender.SessionDataMutex);
    if (Sender.SessionData.count() > 0)
        Sender.SessionData[0].Object.reset();
}

void TConversationPage::ConversationPage(TIdHTTPRequestInfo& ARequestInfo, TIdHTTPResponseInfo& AResponseInfo)
{
    TIdHTTPSession& session = *ARequestInfo.Session;
    std::lock_guard lock(session.SessionDataMutex);
    TEngine* engine =
        session.SessionData.count() > 0 ? std::any_cast<TEngine>(&session.SessionData[0].Object) : nullptr;
    if (!engine || !*engine)
        throw EConversationEnded(SConversationEnded);
    TTalvo& talvo = **engine;

    std::string reply, sound;
    std::string personality = Trim(ARequestInfo.ParamList.value("Personality"));
    if (!personality.empty()) {
        talvo.SelectPersonality(personality);
    } else {
        std::string thought = Trim(ARequestInfo.ParamList.value("Thought"));
        // The engine keeps the last thought and searches it once per keyword: every session could
        // otherwise hold a whole request body.
        if (thought.size() > MaxThoughtLength)
            throw EThoughtTooLong(SThoughtTooLong);
        if (!thought.empty())
            reply = talvo.Respond(thought, sound);
    }
    reply = HtmlEscape(reply);
    AResponseInfo.BodyText = talvo.Finished() ? reply : FillPageTemplate(*m_state.PageTemplate.get(), reply, sound);
}

}  // namespace velmora
