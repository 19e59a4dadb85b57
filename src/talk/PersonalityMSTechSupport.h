#pragma once
// A dismissive technical-support desk that blames the user, the hardware or another vendor.

#include "talk/Personality.h"

namespace velmora {

class TPersonalityMSTechSupport : public TReplies {
public:
    using TReplies::TReplies;

protected:
    void LoadGroups() override;
};

}  // namespace velmora
