#include "talk/PersonalityBrovick.h"

namespace velmora {

// Only the first, third and seventh groups carry sounds; the third names two sounds for its five
// replies, so its last three replies play none.
void TPersonalityBrovick::LoadGroups()
{
    AddGroup({" sex "}, {"I never discuss that subject.", "You had better ask Amarette about that, not me."},
             {"", "Laugh"});
    AddGroup({" defensive "}, {"I am not defensive!", "Who says I am defensive? I am perfectly calm."});
    AddGroup({" Velinda "},
             {"I hardly know her.", "Velinda? Now there is a name I remember.", "We only met once or twice.",
              "She was a colleague, nothing more.", "I would rather not talk about Velinda."},
             {"", "OhYeah"});
    AddGroup({" scandal "},
             {"That is old news.", "That is between Amarette and me, nobody else.",
              "That was years ago. Nobody cares any more."});
    AddGroup({" Corisse "}, {"Corisse is a good friend of the family.", "I have not seen Corisse in years."});
    AddGroup({" Amarette "}, {"Amarette and I are doing just fine, thank you.", "Leave Amarette out of this."});
    AddGroup({" Double Brisklet"}, {"Now you are talking. I could eat one right now."}, {"INeedFood"});
    AddGroup({NoKeyFound},
             {"I am trying my hardest. But I do not understand what you are asking me.",
              "I must consult with my lawyer before speaking on this.", "I plead the fifth ammendment.",
              "I choose not to answer that question on advise from my lawyer"});
}

}  // namespace velmora
