#pragma once
// Deadline timer shared by the link's waits. It reads a monotonic clock with
// sub-millisecond resolution, so a limit of 1.0 means one second and 0.005 a
// 5 ms pause. The clock is injected so that tests can drive it by hand.

#include "platform/Clock.h"

namespace kv {

class Stopwatch {
public:
    explicit Stopwatch(Clock& clock = system_clock()) : clock_(&clock) {}

    // Forget the last reading and start timing from now.
    void restart()
    {
        now = 0.0;
        start = clock_->now();
    }

    // Takes a reading; true once strictly more than `limit` seconds have
    // passed since restart().
    bool exceeded(double limit)
    {
        now = clock_->now();
        return (now - start) > limit;
    }

    // Seconds between restart() and the last reading.
    double elapsed() const { return now - start; }

    Clock& clock() const { return *clock_; }

    double start = 0.0;   // clock reading at restart(), seconds
    double now = 0.0;     // clock reading at the last exceeded(), seconds

private:
    Clock* clock_;
};

} // namespace kv
