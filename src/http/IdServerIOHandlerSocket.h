#pragma once
// Accepts the connections of a listening binding: waits in 100 ms slices so that a stop request is
// seen within about that time, then accepts and gives the connection its own socket transport.

#include <functional>
#include <memory>

#include "http/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"

namespace velmora {

inline constexpr int IdAcceptWaitSlice = 100;

enum class TIdAcceptResult {
    arAccepted,
    // The listener was told to stop, or its socket is gone: no more connections will come.
    arStopped,
    // The system refused this accept (no descriptors left, say); a later one may succeed.
    arFailed,
};

class TIdServerIOHandlerSocket {
public:
    // Small writes go out at once instead of waiting for the peer's acknowledgement.
    bool NoDelay = true;

    // Answers the accepted connection, or none with the reason in result.
    std::unique_ptr<TIdIOHandlerSocket> accept(TIdSocketHandle& listening, const std::function<bool()>& stopRequested,
                                               TIdAcceptResult& result);
};

}  // namespace velmora
