#include "talk/Personality.h"

#include <gtest/gtest.h>

#include "talk/PersonalityBrovick.h"
#include "talk/PersonalityMSTechSupport.h"
#include "talk/PersonalityTalvo.h"

namespace velmora {
namespace {

enum class Fault { None, NoFallback, EmptyGroup };

// A table for the group mechanics, or one with the given fault.
template <Fault Broken = Fault::None>
class TSampleTable : public TReplies {
public:
    using TReplies::TReplies;

protected:
    void LoadGroups() override
    {
        AddGroup({"one", "uno"}, {"r1", "r2", "r3", "r4", "r5"}, {"", "OhYeah"});
        AddGroup({"three"}, {"a", "b", "c"});
        AddGroup({"single"}, {"only"}, {"S", "beyond the replies"});
        AddGroup({" My problem is ", "caf\xc3\xa9 x", "one"}, {"dup"});
        if (Broken == Fault::EmptyGroup)
            AddGroup({"empty"}, {});
        if (Broken != Fault::NoFallback)
            AddGroup({NoKeyFound}, {"fallback"});
    }
};

TEST(TReplies, GroupsRotateWithTheirSounds)
{
    const struct {
        size_t group;
        std::vector<std::pair<std::string, std::string>> calls;  // reply, sound
    } rows[] = {
        {0, {{"r1", ""}, {"r2", "OhYeah"}, {"r3", ""}, {"r4", ""}, {"r5", ""}, {"r1", ""}, {"r2", "OhYeah"}}},
        {1, {{"a", ""}, {"b", ""}, {"c", ""}, {"a", ""}}},
        {2, {{"only", "S"}, {"only", "S"}}},
    };
    auto table = TReplies::Create<TSampleTable<>>();
    TReplyRotation rotation(*table);
    EXPECT_EQ(rotation.LastSound(), "");
    for (const auto& row : rows) {
        const TReply& group = table->Items(row.group);
        for (size_t i = 0; i < row.calls.size(); ++i) {
            EXPECT_EQ(rotation.NextReply(group), row.calls[i].first) << "group " << row.group << " call " << i;
            EXPECT_EQ(rotation.LastSound(), row.calls[i].second) << "group " << row.group << " call " << i;
        }
    }
    EXPECT_EQ(rotation.NextIndex(table->Items(0)), 2);
    EXPECT_EQ(table->Items(2).Sounds().size(), 1u) << "sound entries beyond the replies are ignored";
}

TEST(TReplies, ConversationsShareATableAndRotateOnTheirOwn)
{
    const TReplies& table = TReplies::Shared<TPersonalityBrovick>();
    EXPECT_EQ(&table, &TReplies::Shared<TPersonalityBrovick>());
    const TReply& sex = table.Items(0);
    TReplyRotation first(table), second(table);
    EXPECT_EQ(first.NextReply(sex), "I never discuss that subject.");
    EXPECT_EQ(first.NextReply(sex), "You had better ask Amarette about that, not me.");
    EXPECT_EQ(first.LastSound(), "Laugh");
    EXPECT_EQ(second.NextReply(sex), "I never discuss that subject.");
    EXPECT_EQ(second.LastSound(), "");
    EXPECT_EQ(first.NextIndex(sex), 0);
    EXPECT_EQ(second.NextIndex(sex), 1);
}

TEST(TReplies, KeywordsAreUpperCasedAsciiOnlyAndShareTheirGroupsRotation)
{
    auto table = TReplies::Create<TSampleTable<>>();
    const std::pair<std::string, size_t> expected[] = {
        {"ONE", 0},           {"UNO", 0}, {"THREE", 1},          {"SINGLE", 2}, {" MY PROBLEM IS ", 3},
        {"CAF\xc3\xa9 X", 3}, {"ONE", 3}, {"--NOKEYFOUND--", 4},
    };
    ASSERT_EQ(table->Keywords().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(table->Keywords()[i].Text, expected[i].first) << i;
        EXPECT_EQ(table->Keywords()[i].Group, &table->Items(expected[i].second)) << i;
    }
    TReplyRotation rotation(*table);
    EXPECT_EQ(rotation.NextReply(*table->Keywords()[0].Group), "r1");
    EXPECT_EQ(rotation.NextReply(*table->Keywords()[1].Group), "r2");
    EXPECT_EQ(rotation.NextReply(*table->Keywords()[0].Group), "r3");
}

TEST(TReplies, LookupIgnoresAsciiCaseAndFindsTheFirstEntry)
{
    const std::pair<std::string, std::optional<size_t>> rows[] = {
        {"--nokeyfound--", 7},           {"One", 0},         {"caf\xc3\xa9 x", 5},
        {"CAF\xc3\x89 X", std::nullopt},  // É is not é: bytes of multi-byte characters compare exactly
        {"missing", std::nullopt},       {"", std::nullopt},
    };
    auto table = TReplies::Create<TSampleTable<>>();
    for (const auto& [text, index] : rows)
        EXPECT_EQ(table->IndexOfKeyword(text), index) << text;
}

// Regression: a table without a fallback group, or a group without replies, must not reach the
// engine, which would index past the end.
TEST(TReplies, RefusesTablesTheEngineCouldNotAnswerFrom)
{
    const std::pair<TRepliesClass, std::string> rows[] = {
        {&TReplies::Create<TSampleTable<Fault::NoFallback>>, SNoFallbackGroup},
        {&TReplies::Create<TSampleTable<Fault::EmptyGroup>>, SGroupWithoutReplies},
    };
    for (const auto& [build, message] : rows) {
        try {
            build();
            ADD_FAILURE() << "built a table, expected: " << message;
        } catch (const EReplyTable& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}

TEST(Personalities, HaveTheirGroupsRepliesAndSoundsWithTheFallbackLast)
{
    using Sounds = std::vector<std::string>;
    const struct {
        const char* name;
        TRepliesClass build;
        size_t keywords;
        std::vector<size_t> repliesPerGroup;
        std::vector<Sounds> sounds;  // for the first groups; later groups have none
    } rows[] = {
        {"Talvo",
         &TReplies::Create<TPersonalityTalvo>,
         38,
         {3, 2, 4, 4, 2, 3, 2, 3, 3, 4, 3, 5, 9, 2, 4, 4, 4, 1, 5, 5, 2, 4, 3, 7, 3, 6, 7, 7},
         {}},
        {"MSTechSupport", &TReplies::Create<TPersonalityMSTechSupport>, 14, {2, 2, 2, 5, 3, 2}, {}},
        {"Brovick",
         &TReplies::Create<TPersonalityBrovick>,
         8,
         {2, 2, 5, 3, 2, 2, 1, 4},
         {{"", "Laugh"}, {}, {"", "OhYeah", "", "", ""}, {}, {}, {}, {"INeedFood"}}},
    };
    for (const auto& row : rows) {
        auto table = row.build();
        ASSERT_EQ(table->Count(), row.repliesPerGroup.size()) << row.name;
        EXPECT_EQ(table->Keywords().size(), row.keywords) << row.name;
        EXPECT_EQ(table->Keywords().back().Text, NoKeyFound) << row.name;
        EXPECT_EQ(table->Keywords().back().Group, &table->Items(table->Count() - 1)) << row.name;
        for (size_t g = 0; g < table->Count(); ++g) {
            const TReply& group = table->Items(g);
            EXPECT_EQ(group.Replies().size(), row.repliesPerGroup[g]) << row.name << " group " << g + 1;
            const bool hasSounds = g < row.sounds.size() && !row.sounds[g].empty();
            EXPECT_EQ(group.Sounds(), hasSounds ? row.sounds[g] : Sounds(group.Replies().size()))
                << row.name << " group " << g + 1;
        }
    }
}

}  // namespace
}  // namespace velmora
