#include "http/IdClock.h"

namespace velmora {

const TIdClock& TIdClock::system()
{
    static const TIdSystemClock clock;
    return clock;
}

}  // namespace velmora
