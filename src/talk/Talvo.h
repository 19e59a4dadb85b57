#pragma once
// The conversation engine: holds one personality and answers one thought at a time from its
// keyword table, echoing the rest of the thought with the pronouns swapped. The tables and the
// conjugation list are shared by every engine; an engine holds only what its conversation changes.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "base/StrUtils.h"
#include "talk/Personality.h"

namespace velmora {

class ENoPersonality : public Exception {
public:
    using Exception::Exception;
};
inline constexpr const char* SNoPersonality = "No personality has been chosen.";

inline constexpr const char* SRepeatReply = "Please don't repeat yourself.";
inline constexpr const char* SShutUpReply =
    "How would you like it if I told you to shut up? I am sorry but we cannot continue like this. Good bye.";
inline constexpr const char* SSilenceReply = "I cannot help you if you do not talk to me.";
inline constexpr const char* SElaborateReply = "You will have to elaborate more for me to help you.";

// Texts are UTF-8: letter case is ignored for ASCII letters only and positions count bytes.
// Serves one caller at a time; it has no lock.
class TTalvo {
public:
    TTalvo();
    ~TTalvo();
    TTalvo(const TTalvo&) = delete;
    TTalvo& operator=(const TTalvo&) = delete;

    // "MSTechSupport" and "Brovick" (in any letter case) choose those personalities, every other
    // name the default one; every rotation starts afresh.
    void SelectPersonality(const std::string& Name);
    // The reply to one thought; Sound is the sound name that goes with it, empty for none.
    // Throws ENoPersonality before the first SelectPersonality.
    std::string Respond(const std::string& Thought, std::string& Sound);

    // True once the user has told the engine to shut up; it stays true.
    bool Finished() const { return m_finished; }
    const std::string& LastThought() const { return m_lastThought; }
    // The swap entries, name=value, in the order they apply; the same list for every engine.
    static const std::vector<std::string>& Conjugations();
    // None until a personality has been chosen.
    const TReplies* Personality() const { return m_personality; }
    // The current personality's rotation; empty until a personality has been chosen.
    const TReplyRotation& Rotation() const { return m_rotation; }

private:
    std::string answerFromTable(const std::string& thought, std::string& sound);
    static std::string swapPronouns(std::string text);

    bool m_finished = false;
    std::string m_lastThought;
    const TReplies* m_personality = nullptr;
    TReplyRotation m_rotation;
};

}  // namespace velmora
