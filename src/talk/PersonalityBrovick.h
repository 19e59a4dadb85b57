#pragma once
// A persona that deflects personal questions, pleads its rights and plays sounds.

#include "talk/Personality.h"

namespace velmora {

class TPersonalityBrovick : public TReplies {
public:
    using TReplies::TReplies;

protected:
    void LoadGroups() override;
};

}  // namespace velmora
