#pragma once
// The default personality: a reflective questioner that turns the user's own words back into questions.

#include "talk/Personality.h"

namespace velmora {

class TPersonalityTalvo : public TReplies {
public:
    using TReplies::TReplies;

protected:
    void LoadGroups() override;
};

}  // namespace velmora
