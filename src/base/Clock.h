#pragma once
// The time the program reads: a steady count for session idleness, the phones' imports and the
// operator's checks, and the calendar time for dates and cookie expiry. Tests give each component a
// clock they advance themselves.

#include <chrono>

namespace velmora {

class TClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    using wall_time = std::chrono::system_clock::time_point;

    virtual ~TClock() = default;
    // Never goes back: a change of the calendar clock must not end sessions early or keep them alive.
    virtual time_point now() const = 0;
    virtual wall_time wallNow() const = 0;

    // The system's clocks, shared by every component that is given no other.
    static const TClock& system();
};

class TSystemClock : public TClock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    wall_time wallNow() const override { return std::chrono::system_clock::now(); }
};

}  // namespace velmora
