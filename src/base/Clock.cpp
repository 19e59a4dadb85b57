#include "base/Clock.h"

namespace velmora {

const TClock& TClock::system()
{
    static const TSystemClock clock;
    return clock;
}

}  // namespace velmora
