#include "talk/PersonalityMSTechSupport.h"

namespace velmora {

// Within the crash group the longer keyword comes first, so it is the one found at a place where
// both occur.
void TPersonalityMSTechSupport::LoadGroups()
{
    AddGroup({" My problem is ", " The problem is "}, {"So you are calling about *?", "Is * a problem?"});
    AddGroup({" crashes when I ", " crashes when ", " crashing when "},
             {"The obvious answer would be not to *", "Have you tried not doing that?"});
    AddGroup({" bug "},
             {"That behaviour is by design.",
              "We have no record of that bug. Please reproduce it on a supported configuration."});
    AddGroup({" AV ", " AVs ", " Access violation ", " crash ", " BSOD "},
             {"Have you tried restarting your computer?", "Please reinstall the operating system and call us back.",
              "That is caused by your hardware. Contact its maker.",
              "Did you install any updates recently? Remove them all and try again.",
              "Our software does not crash. Something else on your machine must be at fault."});
    AddGroup({" Orvandel ", " Glimcode "},
             {"That is a known problem with Orvandel products. Please call Orvandel.",
              "We do not support Glimcode. Ask Orvandel about it.",
              "Anything built with Glimcode behaves like that. It is an Orvandel problem, not ours."});
    AddGroup({NoKeyFound}, {"I will need more information.", "I will need to ask my supervisor for help."});
}

}  // namespace velmora
