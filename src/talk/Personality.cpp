#include "talk/Personality.h"

#include <algorithm>

#include "base/StrUtils.h"

namespace velmora {

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
        if (SameText(m_keywords[i].Text, Text))
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
        m_keywords.push_back({UpperCase(keyword), &group});
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
