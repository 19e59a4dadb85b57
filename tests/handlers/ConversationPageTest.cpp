#include <atomic>
#include <thread>

#include "HandlerFixture.h"
#include "http/IdHTTPSession.h"
#include "talk/Talvo.h"

namespace velmora::test {
namespace {

class ConversationPage : public HandlerServer {
protected:
    void SetUp() override
    {
        HandlerServer::SetUp();
        state.PageTemplate.set("<p>{%RESPONSE%}</p>{%SOUND%}|{%RESPONSE%}{%SOUND%}");
    }
    // A fresh session's cookie, its engine set to the personality.
    std::string sessionWith(const std::string& personality)
    {
        Reply reply = get("/talvo.html?Personality=" + personality);
        EXPECT_EQ(reply.status, 200);
        return reply.cookie;
    }
    Reply think(const std::string& cookie, const std::string& thought)
    {
        return get("/talvo.html?Thought=" + thought, cookie);
    }
};

TEST_F(ConversationPage, ABareRequestEmptiesTheFirstMarkersOnly)
{
    Reply reply = get("/talvo.html");
    EXPECT_EQ(reply.body, "<p></p>|{%RESPONSE%}{%SOUND%}");
    EXPECT_EQ(reply.cookie.size(), 15u);
    state.PageTemplate.set("<?xml version=\"1.0\"?><ARQUIVOS/>");
    EXPECT_EQ(get("/talvo.html", reply.cookie).body, "<?xml version=\"1.0\"?><ARQUIVOS/>");
}

TEST_F(ConversationPage, ARequestWithBothParametersOnlyChoosesThePersonality)
{
    Reply reply = get("/talvo.html?Personality=Talvo&Thought=I+want+a+car");
    EXPECT_EQ(reply.body, "<p></p>|{%RESPONSE%}{%SOUND%}");
    EXPECT_EQ(think(reply.cookie, "+++").body, "<p></p>|{%RESPONSE%}{%SOUND%}") << "blank thoughts are not answered";
    EXPECT_EQ(think(reply.cookie, "I+want+a+car").body,
              "<p>What would it mean to you if you got a car   ?</p>|{%RESPONSE%}{%SOUND%}");
}

TEST_F(ConversationPage, AThoughtBeforeAnyPersonalityIs500)
{
    Reply reply = get("/talvo.html?Thought=hello");
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body, "No personality has been chosen.");
    Reply repaired = get("/talvo.html?personality=%20Talvo%20", reply.cookie);
    EXPECT_EQ(repaired.status, 200);
    EXPECT_EQ(think(reply.cookie, "I+want+a+car").status, 200);
}

TEST_F(ConversationPage, AThoughtUpToTheLimitIsAnsweredAndALongerOneIs500)
{
    std::string cookie = sessionWith("Talvo");
    const std::string words = std::string(MaxThoughtLength - 7, 'a');
    EXPECT_EQ(think(cookie, "I+want+" + words).body,
              "<p>What would it mean to you if you got " + words + "   ?</p>|{%RESPONSE%}{%SOUND%}");
    Reply refused = think(cookie, "I+want+" + words + "a");
    EXPECT_EQ(refused.status, 500);
    EXPECT_EQ(refused.body, "The thought is too long.");
    EXPECT_EQ(think(cookie, "I+want+" + words).body, "<p>Please don't repeat yourself.</p>|{%RESPONSE%}{%SOUND%}")
        << "the refused thought did not become the last one";
}

TEST_F(ConversationPage, SoundsBecomeABackgroundSoundTag)
{
    std::string cookie = sessionWith("Brovick");
    EXPECT_EQ(think(cookie, "more+sex+talk").body, "<p>I never discuss that subject.</p>|{%RESPONSE%}{%SOUND%}");
    Reply second = think(cookie, "what+about+sex+then");
    EXPECT_NE(second.body.find("</p><BGSOUND SRC=Laugh.wav>|"), std::string::npos) << second.body;
}

TEST_F(ConversationPage, TheReplyGoesInBeforeTheSoundMarkerIsReplaced)
{
    state.PageTemplate.set("[{%RESPONSE%}]");
    std::string cookie = sessionWith("Brovick");
    think(cookie, "more+sex+talk");
    EXPECT_EQ(think(cookie, "what+about+sex+then").body.find("<BGSOUND"), std::string::npos);
}

TEST_F(ConversationPage, RequestMarkupIsEscapedInThePage)
{
    std::string cookie = sessionWith("Talvo");
    EXPECT_EQ(think(cookie, "I+want+%3Cb%3E%26%22").body,
              "<p>What would it mean to you if you got &lt;b&gt;&amp;&quot;   ?</p>|{%RESPONSE%}{%SOUND%}");
}

TEST_F(ConversationPage, AfterTheShutUpRuleEveryReplyIsBare)
{
    std::string cookie = sessionWith("Talvo");
    EXPECT_EQ(think(cookie, "Shut+up").body, SShutUpReply);
    EXPECT_EQ(think(cookie, "I+want+%3Cb%3E").body, "What would it mean to you if you got &lt;b&gt;   ?");
    Reply bare = get("/talvo.html", cookie);
    EXPECT_EQ(bare.status, 200);
    EXPECT_EQ(bare.body.find("{%"), std::string::npos);
    EXPECT_EQ(bare.body.find("<p>"), std::string::npos);
}

TEST_F(ConversationPage, SessionsConverseIndependently)
{
    std::string first = sessionWith("Talvo");
    std::string second = sessionWith("Brovick");
    ASSERT_NE(first, second);
    EXPECT_EQ(think(second, "more+sex+talk").body, "<p>I never discuss that subject.</p>|{%RESPONSE%}{%SOUND%}");
    EXPECT_EQ(think(first, "Shut+up").body, SShutUpReply);
    EXPECT_EQ(think(second, "more+sex+talk").body.substr(0, 3), "<p>");
    EXPECT_EQ(get("/talvo.html?Thought=hello").status, 500) << "no cookie, a new session without personality";
}

// The engine has no lock: requests of one session must be served one after the other.
TEST_F(ConversationPage, ConcurrentRequestsOfOneSessionAreSerialised)
{
    std::string cookie = sessionWith("Talvo");
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 6; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < 10; ++i) {
                Reply reply = think(cookie, "I+want+thing" + std::to_string(c * 100 + i));
                if (reply.status == 200 && reply.body.rfind("<p>", 0) == 0)
                    ++good;
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(good, 60);
}

// Regression: a flood of cookie-less requests from one address ended every other conversation.
TEST_F(ConversationPage, AConversationOutlivesAFloodOfSessionsFromAnotherAddress)
{
    server.SessionList().MaxSessions = 8;
    const std::string cookie = sessionWith("Brovick");
    for (int i = 0; i < 20; ++i)
        get("/screen.xml", "", "127.0.0.2");
    EXPECT_EQ(server.SessionList().count(), 8u);
    Reply thought = think(cookie, "ola");
    EXPECT_EQ(thought.status, 200) << thought.body;
    EXPECT_TRUE(thought.cookie.empty()) << "answered from the session it started";
}

TEST(ConversationSession, TheStartHookGivesAnEngineThatTheEndHookDestroys)
{
    TPublicationState state;
    TConversationPage page(state);
    auto session = std::make_shared<TIdHTTPSession>(nullptr, "abc", "127.0.0.1", TClock::time_point());
    page.IdHTTPServer1SessionStart(*session);
    ASSERT_EQ(session->SessionData.count(), 1u);
    EXPECT_EQ(session->SessionData[0].Name, "Talvo");
    std::weak_ptr<TTalvo> engine = *std::any_cast<std::shared_ptr<TTalvo>>(&session->SessionData[0].Object);
    page.IdHTTPServer1SessionEnd(*session);
    EXPECT_TRUE(engine.expired());
}

}  // namespace
}  // namespace velmora::test
