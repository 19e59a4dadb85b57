#include "talk/Talvo.h"

#include <algorithm>

#include "talk/PersonalityBrovick.h"
#include "talk/PersonalityMSTechSupport.h"
#include "talk/PersonalityTalvo.h"

namespace velmora {

namespace {

// Each entry works on the result of the one before, so the order matters.
const char* const ConjugationEntries[] = {
    "Are=am", "Were=was", "You=I", "Your=my", "I've=you've", "I'm=you're", "Me=you",
};

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

bool isAllBlank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), isBlank);
}

// The byte offset of the leftmost occurrence of needle in text, ignoring the case of ASCII
// letters; npos when there is none.
size_t findCaseless(std::string_view text, std::string_view needle, size_t from = 0)
{
    for (size_t at = from; at + needle.size() <= text.size(); ++at) {
        if (SameText(text.substr(at, needle.size()), needle))
            return at;
    }
    return std::string_view::npos;
}

// Every occurrence, left to right, without scanning replaced text again.
std::string replaceAllCaseless(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    size_t done = 0;
    for (size_t at = findCaseless(text, from); at != std::string_view::npos; at = findCaseless(text, from, done)) {
        out.append(text.substr(done, at - done)).append(to);
        done = at + from.size();
    }
    return out.append(text.substr(done));
}

// Two spaces on each side of the trimmed thought, so that keywords ending in a space also match
// its last word; sentence marks become spaces. Apostrophes stay, for keywords such as "I DON'T ".
std::string normalise(const std::string& thought)
{
    std::string text = "  " + Trim(thought) + "  ";
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '?' || c == '!' || c == '.'; }, ' ');
    return text;
}

TSharedReplies personalityClassFor(const std::string& name)
{
    if (SameText(name, "MSTechSupport"))
        return &TReplies::Shared<TPersonalityMSTechSupport>;
    if (SameText(name, "Brovick"))
        return &TReplies::Shared<TPersonalityBrovick>;
    return &TReplies::Shared<TPersonalityTalvo>;
}

struct KeywordMatch {
    size_t entry;
    size_t end;  // offset just past the matched keyword
};

// An earlier entry wins over a later one wherever the two occur; of one keyword, its leftmost
// occurrence counts. Without a match the fallback entry answers with the whole thought as rest.
KeywordMatch findKeyword(const TReplies& table, std::string_view text)
{
    const auto& keywords = table.Keywords();
    for (size_t i = 0; i < keywords.size(); ++i) {
        const size_t at = findCaseless(text, keywords[i].Text);
        if (at != std::string_view::npos)
            return {i, at + keywords[i].Text.size()};
    }
    return {*table.IndexOfKeyword(NoKeyFound), 0};
}

}  // namespace

TTalvo::TTalvo() = default;

TTalvo::~TTalvo() = default;

const std::vector<std::string>& TTalvo::Conjugations()
{
    static const std::vector<std::string> entries(std::begin(ConjugationEntries), std::end(ConjugationEntries));
    return entries;
}

void TTalvo::SelectPersonality(const std::string& Name)
{
    m_personality = &personalityClassFor(Name)();
    m_rotation = TReplyRotation(*m_personality);
}

std::string TTalvo::Respond(const std::string& Thought, std::string& Sound)
{
    Sound.clear();
    if (!m_personality)
        throw ENoPersonality(SNoPersonality);
    const std::string text = normalise(Thought);
    if (SameText(text, m_lastThought))
        return SRepeatReply;
    if (findCaseless(text, "SHUT ") != std::string_view::npos) {
        m_finished = true;
        return SShutUpReply;
    }
    if (isAllBlank(text))
        return SSilenceReply;
    m_lastThought = text;
    return answerFromTable(text, Sound);
}

std::string TTalvo::answerFromTable(const std::string& thought, std::string& sound)
{
    const KeywordMatch match = findKeyword(*m_personality, thought);
    const std::string rest = swapPronouns(thought.substr(match.end) + " ");
    const TReply& group = *m_personality->Keywords()[match.entry].Group;
    std::string reply = m_rotation.NextReply(group);
    sound = m_rotation.LastSound();
    if (reply.find('*') == std::string::npos)
        return reply;
    if (isAllBlank(rest))
        return SElaborateReply;
    return replaceAllCaseless(reply, "*", rest);
}

// Each entry name=value turns every "name " into "value ", also at the end of a longer word.
std::string TTalvo::swapPronouns(std::string text)
{
    for (const auto& entry : Conjugations()) {
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals) + " ";
        const std::string value = entry.substr(equals + 1) + " ";
        text = replaceAllCaseless(text, name, value);
    }
    return text;
}

}  // namespace velmora
