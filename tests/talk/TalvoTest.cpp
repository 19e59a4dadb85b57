#include "talk/Talvo.h"

#include <gtest/gtest.h>

#include <typeinfo>

#include "talk/PersonalityBrovick.h"
#include "talk/PersonalityMSTechSupport.h"
#include "talk/PersonalityTalvo.h"

namespace velmora {
namespace {

constexpr const char* Fallback1 = "Say, do you have any psychological problems?";
constexpr const char* Fallback2 = "What does that suggest to you?";
constexpr const char* Hello = "How do you do ...please state your problem.";

struct Step {
    const char* thought;
    const char* reply;  // not checked when null
    const char* sound = "";
};

struct Conversation {
    const char* what;
    const char* personality;
    std::vector<Step> steps;
};

// Each conversation starts on a fresh engine, every rotation at its first reply. Spaces in the
// replies are exact: the rest of a thought keeps the spaces that normalising added.
const Conversation Conversations[] = {
    {"keyword at position 3, rest with its two spaces",
     "Talvo",
     {{"I want a car", "What would it mean to you if you got a car   ?"}}},
    {"earlier group wins though it occurs later",
     "Talvo",
     {{"I feel you are mean", "What makes you think I am mean   ?"}}},
    {"swap your into my", "Talvo", {{"I want your car", "What would it mean to you if you got my car   ?"}}},
    {"swap Me=you at the end of some",
     "Talvo",
     {{"I want some cake", "What would it mean to you if you got soyou cake   ?"}}},
    {"each swap works on the one before", "Talvo", {{"I feel you hate me", "Do you often feel I hate you   ?"}}},
    {"blank rest asks for more and still advances the rotation",
     "Talvo",
     {{"I want", SElaborateReply}, {"I want!", SElaborateReply}, {"I want a car", "Suppose you soon got a car   ?"}}},
    {"repeat ignores case, not length",
     "Talvo",
     {{"Hello", Hello}, {"hello", SRepeatReply}, {"HELLO", SRepeatReply}, {"Hello!", Hello}}},
    {"silence keeps the last thought",
     "Talvo",
     {{"Hello", Hello}, {"?!.", SSilenceReply}, {"", SSilenceReply}, {" \t ", SSilenceReply}, {"hello", SRepeatReply}}},
    {"shut at the end fires, shutdown does not",
     "Talvo",
     {{"shutdown", Fallback1}, {"I will not shut", SShutUpReply}, {"shut!", SShutUpReply}}},
    {"fallback rotation",
     "Talvo",
     {{"Blue sky", Fallback1},
      {"Green grass", Fallback2},
      {"Red sun", "I see."},
      {"Grey rain", "I'm not sure I understand you fully."},
      {"Cold tea", "Come come elucidate your thoughts."},
      {"Old books", "Can you elaborate on that?"},
      {"Loud music", "That is quite interesting."},
      {"Fresh bread", Fallback1}}},
    {"ARE YOU before COMPUTER",
     "Talvo",
     {{"Are you a computer", "Why are you interested in whether or not I am a computer   ?"}}},
    {"HI at the end of sushi", "Talvo", {{"I like sushi", Hello}}},
    {"apostrophe: YOU'RE", "Talvo", {{"You're mean", "What makes you think I am mean   ?"}}},
    {"apostrophe: I DON'T", "Talvo", {{"I don't sleep", "don't you really sleep   ?"}}},
    {"apostrophe: WHY DON'T YOU", "Talvo", {{"Why don't you listen", "Do you really believe I don't listen   ?"}}},
    {"apostrophe: WHY CAN'T I", "Talvo", {{"Why can't I sleep", "Do you think you should be able to sleep   ?"}}},
    {"apostrophe: I CAN'T", "Talvo", {{"I can't swim", "How do you know you can't swim   ?"}}},
    {"apostrophe: I'M has no trailing space",
     "Talvo",
     {{"I'm tired", "Did you come to me because you are  tired   ?"}}},
    {"apostrophe: swap I'm", "Talvo", {{"Can you see I'm sad", "Don't you believe that I can see you're sad   ?"}}},
    {"apostrophe: swap I've", "Talvo", {{"Can you tell I've won", "Don't you believe that I can tell you've won   ?"}}},
    {"multi-byte characters are not trimmed away",
     "Talvo",
     {{"I want \xe2\x82\xac", "What would it mean to you if you got \xe2\x82\xac   ?"},
      {"I want br\xc3\xbbl\xc3\xa9"
       "e",
       "Why do you want br\xc3\xbbl\xc3\xa9"
       "e   ?"}}},
    {"swap after a multi-byte character",
     "Talvo",
     {{"I want cr\xc3\xa8me caramel", "What would it mean to you if you got cr\xc3\xa8you caramel   ?"}}},
    {"case of non-ASCII letters counts for the repeat rule",
     "Talvo",
     {{"caf\xc3\xa9", Fallback1}, {"CAF\xc3\xa9", SRepeatReply}, {"CAF\xc3\x89", Fallback2}}},
    {"no conjugation names my",
     "MSTechSupport",
     {{"My problem is my printer", "So you are calling about my printer   ?"},
      {"The problem is the fan", "Is the fan    a problem?"}}},
    {"longer crash keyword first",
     "MSTechSupport",
     {{"It crashes when I click", "The obvious answer would be not to click   "}}},
    {"tech support fallback rotation",
     "MSTechSupport",
     {{"Hello", "I will need more information."},
      {"Thanks", "I will need to ask my supervisor for help."},
      {"Bye", "I will need more information."}}},
    {"sounds of sex in order",
     "Brovick",
     {{"more sex talk", "I never discuss that subject.", ""},
      {"what about sex then", nullptr, "Laugh"},
      {"no sex please", "I never discuss that subject.", ""}}},
    {"two sounds for five replies",
     "Brovick",
     {{"Velinda", nullptr, ""},
      {"Velinda again", nullptr, "OhYeah"},
      {"and Velinda", nullptr, ""},
      {"so Velinda", nullptr, ""},
      {"but Velinda", nullptr, ""},
      {"oh Velinda", nullptr, ""},
      {"yes Velinda", nullptr, "OhYeah"}}},
    {"fast food matches inside longer words",
     "Brovick",
     {{"two Double Brisklets please", nullptr, "INeedFood"}, {"a double brisklet", nullptr, "INeedFood"}}},
    {"third personality fallback rotation",
     "Brovick",
     {{"Hello", "I am trying my hardest. But I do not understand what you are asking me."},
      {"Good day", "I must consult with my lawyer before speaking on this."},
      {"Fine weather", "I plead the fifth ammendment."},
      {"Nice hat", "I choose not to answer that question on advise from my lawyer"},
      {"Goodbye", "I am trying my hardest. But I do not understand what you are asking me."}}},
};

TEST(TTalvo, AnswersConversations)
{
    for (const auto& conversation : Conversations) {
        TTalvo talvo;
        talvo.SelectPersonality(conversation.personality);
        for (const auto& step : conversation.steps) {
            std::string sound = "stale";
            const std::string reply = talvo.Respond(step.thought, sound);
            if (step.reply) {
                EXPECT_EQ(reply, step.reply) << conversation.what << ": " << step.thought;
            }
            EXPECT_EQ(sound, step.sound) << conversation.what << ": " << step.thought;
        }
    }
}

TEST(TTalvo, NormalisesThoughtsKeepingApostrophes)
{
    const struct {
        const char* thought;
        const char* normalised;
    } rows[] = {
        {"Hello", "  Hello  "},     {" \tHi there.\r\n", "  Hi there   "},
        {"Don't!", "  Don't   "},   {"\xe2\x82\xacuro\xe2\x82\xac", "  \xe2\x82\xacuro\xe2\x82\xac  "},
        {"a?b!c.d", "  a b c d  "},
    };
    for (const auto& row : rows) {
        TTalvo talvo;
        talvo.SelectPersonality("Talvo");
        std::string sound;
        talvo.Respond(row.thought, sound);
        EXPECT_EQ(talvo.LastThought(), row.normalised) << row.thought;
    }
}

TEST(TTalvo, SelectsPersonalitiesByNameInAnyCase)
{
    const struct {
        const char* name;
        const std::type_info& type;
    } rows[] = {
        {"mstechsupport", typeid(TPersonalityMSTechSupport)},
        {"MSTechSupport", typeid(TPersonalityMSTechSupport)},
        {"MSTECHSUPPORT", typeid(TPersonalityMSTechSupport)},
        {"Brovick", typeid(TPersonalityBrovick)},
        {"bROVICK", typeid(TPersonalityBrovick)},
        {"Nobody", typeid(TPersonalityTalvo)},
        {"", typeid(TPersonalityTalvo)},
        {"Talvo", typeid(TPersonalityTalvo)},
        {" Brovick", typeid(TPersonalityTalvo)},
        {"Brovick2", typeid(TPersonalityTalvo)},
    };
    TTalvo talvo;
    EXPECT_EQ(talvo.Personality(), nullptr);
    for (const auto& row : rows) {
        talvo.SelectPersonality(row.name);
        ASSERT_NE(talvo.Personality(), nullptr);
        const auto& personality = *talvo.Personality();
        EXPECT_EQ(typeid(personality), row.type) << '"' << row.name << '"';
    }
}

TEST(TTalvo, NewSelectionRestartsRotationsButKeepsLastThoughtAndFinished)
{
    TTalvo talvo;
    std::string sound;
    talvo.SelectPersonality("Talvo");
    EXPECT_EQ(talvo.Respond("Blue sky", sound), Fallback1);
    EXPECT_EQ(talvo.Respond("Shut up", sound), SShutUpReply);
    EXPECT_EQ(talvo.Respond("Green grass", sound), Fallback2);
    talvo.SelectPersonality("talvo");
    EXPECT_TRUE(talvo.Finished());
    EXPECT_EQ(talvo.Respond("green GRASS", sound), SRepeatReply);
    EXPECT_EQ(talvo.Respond("Red sun", sound), Fallback1);
}

TEST(TTalvo, ShutUpFinishesForGoodYetAnswersGoOn)
{
    TTalvo talvo;
    talvo.SelectPersonality("Brovick");
    std::string sound;
    EXPECT_FALSE(talvo.Finished());
    talvo.Respond("shutdown the shutters", sound);
    EXPECT_FALSE(talvo.Finished());
    EXPECT_EQ(talvo.Respond("just SHUT up", sound), SShutUpReply);
    EXPECT_TRUE(talvo.Finished());
    EXPECT_EQ(talvo.Respond("more sex talk", sound), "I never discuss that subject.");
    EXPECT_TRUE(talvo.Finished());
}

TEST(TTalvo, RefusesThoughtsBeforeAPersonalityIsChosen)
{
    TTalvo talvo;
    std::string sound = "stale";
    try {
        talvo.Respond("Hello", sound);
        ADD_FAILURE() << "answered without a personality";
    } catch (const ENoPersonality& e) {
        EXPECT_EQ(e.Message(), "No personality has been chosen.");
    }
    EXPECT_EQ(sound, "");
    EXPECT_EQ(talvo.LastThought(), "");
    talvo.SelectPersonality("Nobody");
    EXPECT_EQ(talvo.Respond("Hello", sound), Hello);
}

// The tables are shared, so one conversation's rotation must never show in another's.
TEST(TTalvo, EnginesShareTablesButNotRotations)
{
    TTalvo first, second;
    first.SelectPersonality("Talvo");
    second.SelectPersonality("talvo");
    EXPECT_EQ(first.Personality(), second.Personality());
    std::string sound;
    EXPECT_EQ(first.Respond("Blue sky", sound), Fallback1);
    EXPECT_EQ(first.Respond("Green grass", sound), Fallback2);
    EXPECT_EQ(second.Respond("Blue sky", sound), Fallback1);
    first.SelectPersonality("Talvo");
    EXPECT_EQ(first.Respond("Red sun", sound), Fallback1);
    EXPECT_EQ(second.Respond("Red sun", sound), Fallback2);
}

}  // namespace
}  // namespace velmora
