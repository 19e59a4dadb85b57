#pragma once
// Reply tables: a personality is an ordered set of keyword groups, each handing out its replies
// (with their sounds) in turn, and a keyword list in registration order pointing at the groups.

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
// none), and the rotation that gives them out one after another.
class TReply {
public:
    TReply(const TReply&) = delete;
    TReply& operator=(const TReply&) = delete;

    void AddReply(const std::string& Text, const std::string& Sound);
    // The reply at NextIndex; its sound becomes LastSound and the rotation moves on, back to the
    // first reply after the last.
    std::string NextReply();

    int32_t NextIndex() const { return m_nextIndex; }
    const std::string& LastSound() const { return m_lastSound; }
    const std::vector<std::string>& Sounds() const { return m_sounds; }
    const std::vector<std::string>& Replies() const { return m_replies; }

private:
    friend class TReplies;
    TReply() = default;

    int32_t m_nextIndex = 0;
    std::string m_lastSound;
    std::vector<std::string> m_sounds;
    std::vector<std::string> m_replies;
};

// One entry of the keyword list: the keyword upper-cased and the group it points at.
struct TKeyword {
    std::string Text;
    TReply* Group;
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

    size_t Count() const { return m_items.size(); }
    TReply& Items(size_t index) { return *m_items.at(index); }
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

}  // namespace velmora
