#include "talk/Personality.h"

#include <algorithm>

namespace velmora {

namespace {

char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string UpperCaseAscii(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), upperAscii);
    return upper;
}

bool SameTextAscii(std::string_view a, std::string_view b)
{
    const auto sameLetter = [](char x, char y) { return upperAscii(x) == upperAscii(y); };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameLetter);
}

void TReply::AddReply(const std::string& Text, const std::string& Sound)
{
    m_replies.push_back(Text);
    m_sounds.push_back(Sound);
}

std::string TReply::NextReply()
{
    const auto index = static_cast<size_t>(m_nextIndex);
    m_lastSound = m_sounds.at(index);
    std::string reply = m_replies.at(index);
    if (index + 1 == m_replies.size())
        m_nextIndex = 0;
    else
        ++m_nextIndex;
    return reply;
}

std::optional<size_t> TReplies::IndexOfKeyword(std::string_view Text) const
{
    for (size_t i = 0; i < m_keywords.size(); ++i) {
        if (SameTextAscii(m_keywords[i].Text, Text))
            return i;
    }
    return std::nullopt;
}

void TReplies::AddGroup(const std::vector<std::string>& Keywords, const std::vector<std::string>& Replies,
                        const std::vector<std::string>& Sounds)
{
    if (Replies.empty())
        throw EReplyTable(SGroupWithoutReplies);
    auto& group = *m_items.emplace_back(new TReply());
    for (size_t i = 0; i < Replies.size(); ++i)
        group.AddReply(Replies[i], i < Sounds.size() ? Sounds[i] : std::string());
    for (const auto& keyword : Keywords)
        m_keywords.push_back({UpperCaseAscii(keyword), &group});
}

void TReplies::AddGroup(const std::vector<std::string>& Keywords, const std::vector<std::string>& Replies)
{
    AddGroup(Keywords, Replies, {});
}

void TReplies::requireFallbackGroup() const
{
    if (!IndexOfKeyword(NoKeyFound))
        throw EReplyTable(SNoFallbackGroup);
}

}  // namespace velmora
