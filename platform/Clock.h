#pragma once
// Monotonic time and pauses behind one small interface, so that every wait in
// the program can be driven by a clock the tests control.

namespace kv {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary fixed point; never goes backwards.
    virtual double now() = 0;
    // Block for the given number of seconds without processing events.
    virtual void sleep(double seconds) = 0;
};

// The process's real monotonic clock (CLOCK_MONOTONIC, nanosecond resolution).
Clock& system_clock();

// A clock that only moves when told to; sleep() advances it at once.
class ManualClock : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : t_(start) {}
    double now() override { return t_; }
    void sleep(double seconds) override { if (seconds > 0) t_ += seconds; }
    void advance(double seconds) { if (seconds > 0) t_ += seconds; }

private:
    double t_;
};

} // namespace kv
