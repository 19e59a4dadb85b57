#pragma once
// Reply tables: a personality is an ordered set of keyword groups, each with its replies (and their
// sounds), and a keyword list in registration order pointing at the groups. A table never changes
// once built and is shared by every conversation; each conversation keeps its own rotation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace velmora {

// The keyword of the group every personality registers last; the engine answers from it when no
// other keyword occurs in a thought.
inline constexpr const char* NoKeyFound = "--NOKEYFOUND--";

// Raised while building a table that the engine could not answer from.
class EReplyTable : public Exception {
public:
    using Exception::Exception;
};
inline constexpr const char* SGroupWithoutReplies = "A keyword group needs at least one reply.";
inline constexpr const char* SNoFallbackGroup = "The reply table has no \"--NOKEYFOUND--\" group.";

class TReplies;

// One keyword group: its replies in registration order, each paired with a sound name (empty for
// none). Where a conversation stands in the group is its TReplyRotation's business.
class TReply {
public:
    TReply(const TReply&) = delete;
    TReply& operator=(const TReply&) = delete;

    const std::vector<std::string>& Sounds() const { return m_sounds; }
    const std::vector<std::string>& Replies() const { return m_replies; }
    // The group's place in its table, from 0.
    size_t Index() const { return m_index; }

private:
    friend class TReplies;
    explicit TReply(size_t index) : m_index(index) {}
    void AddReply(const std::string& Text, const std::string& Sound);

    size_t m_index;
    std::vector<std::string> m_sounds;
    std::vector<std::string> m_replies;
};

// One entry of the keyword list: the keyword upper-cased and the group it points at.
struct TKeyword {
    std::string Text;
    const TReply* Group;
};

// The base of every personality. A personality overrides LoadGroups only; tables are built through
// Create (the class reference of a personality), which returns them complete.
class TReplies {
    // Lets only Create construct a table, so that no table exists before its groups are loaded.
    class ConstructionKey {
        friend class TReplies;
        ConstructionKey() = default;
    };

public:
    explicit TReplies(ConstructionKey) {}
    virtual ~TReplies() = default;
    TReplies(const TReplies&) = delete;
    TReplies& operator=(const TReplies&) = delete;

    // Builds a personality's table and loads its groups. Throws EReplyTable when a group has no
    // reply or the table lacks the "--NOKEYFOUND--" group.
    template <class TPersonality>
    static std::unique_ptr<TReplies> Create()
    {
        std::unique_ptr<TReplies> table(new TPersonality(ConstructionKey{}));
        table->LoadGroups();
        table->requireFallbackGroup();
        return table;
    }

    // The one table of a personality, built on first use and shared by every conversation. Never
    // freed: a conversation may outlive the end of main() on a thread of its own.
    template <class TPersonality>
    static const TReplies& Shared()
    {
        static const TReplies* const table = Create<TPersonality>().release();
        return *table;
    }

    size_t Count() const { return m_items.size(); }
    const TReply& Items(size_t index) const { return *m_items.at(index); }
    const std::vector<TKeyword>& Keywords() const { return m_keywords; }
    // The first keyword entry equal to Text ignoring letter case; none when there is no such entry.
    std::optional<size_t> IndexOfKeyword(std::string_view Text) const;

protected:
    virtual void LoadGroups() = 0;

    // Registers a new last group with its replies (reply i gets sound i, or none when the sound
    // list is shorter) and its keywords upper-cased. Throws EReplyTable when Replies is empty.
    void AddGroup(const std::vector<std::string>& Keywords, const std::vector<std::string>& Replies,
                  const std::vector<std::string>& Sounds);
    void AddGroup(const std::vector<std::string>& Keywords, const std::vector<std::string>& Replies);

private:
    void requireFallbackGroup() const;

    std::vector<std::unique_ptr<TReply>> m_items;
    std::vector<TKeyword> m_keywords;
};

// A class reference to a personality: building it yields its complete table.
using TRepliesClass = std::unique_ptr<TReplies> (*)();
// A personality's shared table.
using TSharedReplies = const TReplies& (*)();

// Where one conversation stands in a table: the reply each group gives next (every group at its
// first reply to begin with) and the sound of the reply given last.
class TReplyRotation {
public:
    TReplyRotation() = default;
    explicit TReplyRotation(const TReplies& table) : m_nextIndex(table.Count(), 0) {}

    // The reply at the group's NextIndex; its sound becomes LastSound and the group moves on, back to
    // its first reply after the last. The group must belong to the table the rotation was made for.
    const std::string& NextReply(const TReply& group);
    int32_t NextIndex(const TReply& group) const { return m_nextIndex.at(group.Index()); }
    // Empty until the first reply is given.
    const std::string& LastSound() const;

private:
    std::vector<int32_t> m_nextIndex;
    const std::string* m_lastSound = nullptr;
};

}  // namespace velmora
