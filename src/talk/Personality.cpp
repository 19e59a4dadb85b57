#include "talk/Personality.h"

#include <algorithm>

#include "base/StrUtils.h"

namespace velmora {

void TReply::AddReply(const std::string& Text, const std::string& Sound)
{
    m_replies.push_back(Text);
    m_sounds.push_back(Sound);
}

const std::string& TReplyRotation::NextReply(const TReply& group)
{
    int32_t& next = m_nextIndex.at(group.Index());
    const auto index = static_cast<size_t>(next);
    m_lastSound = &group.Sounds().at(index);
    if (index + 1 == group.Replies().size())
        next = 0;
    else
        ++next;
    return group.Replies().at(index);
}

const std::string& TReplyRotation::LastSound() const
{
    static const std::string none;
    return m_lastSound ? *m_lastSound : none;
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
    const size_t index = m_items.size();
    auto& group = *m_items.emplace_back(new TReply(index));
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
