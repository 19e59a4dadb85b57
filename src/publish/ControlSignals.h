#pragma once
// The signals that steer a running publisher (hang-up, interrupt, terminate): both programs block
// them in every thread and take them from one place, so nothing runs in a signal handler.

#include <csignal>

namespace velmora {

inline sigset_t ControlSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace velmora
