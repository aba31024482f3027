#include "platform/Clock.h"

#include <ctime>
#include <cerrno>

namespace kv {

namespace {
class SystemClock : public Clock {
public:
    double now() override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
    void sleep(double seconds) override
    {
        if (seconds <= 0) return;
        timespec req{};
        req.tv_sec = static_cast<time_t>(seconds);
        req.tv_nsec = static_cast<long>((seconds - static_cast<double>(req.tv_sec)) * 1e9);
        while (nanosleep(&req, &req) != 0 && errno == EINTR) {}
    }
};
} // namespace

Clock& system_clock()
{
    static SystemClock clock;
    return clock;
}

} // namespace kv
