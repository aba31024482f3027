#pragma once
// A simulated pedal to try the program with when no pedal is at hand: the
// installed `tessivar-sim` (beside this program or on PATH), serving on a
// pseudo-terminal that it lists in a devices file of its own, which the
// device list then reads first (KORVANE_DEVICES). Its memory is kept between
// runs in $XDG_STATE_HOME/korvane/sim-pedal.bin, so presets stored in it are
// there the next time. It ends when this object goes (or stop()).
// Toolkit-free; starting the process is platform/Process.h's.

#include "platform/Clock.h"
#include "platform/Process.h"

#include <functional>
#include <memory>
#include <string>

namespace kv::ops {

class DemoPedal {
public:
    static constexpr const char* kProgram = "tessivar-sim";
    // The bridge serial number it reports: how the window knows it.
    static constexpr const char* kSerial = "TSV-DEMO";

    enum class Outcome {
        Started,       // serving, and listed where the device list looks
        NoProgram,     // tessivar-sim is neither beside this program nor on PATH
        NoFolder,      // no home folder, or the state folder cannot be made
        DidNotStart,   // it could not be started, or ended before it served
        TimedOut,      // it did not list its port in time
    };
    struct StartResult {
        Outcome outcome = Outcome::DidNotStart;
        std::string detail;   // the program's path, or what went wrong
        bool ok() const { return outcome == Outcome::Started; }
    };

    DemoPedal() = default;
    ~DemoPedal();
    DemoPedal(const DemoPedal&) = delete;
    DemoPedal& operator=(const DemoPedal&) = delete;

    // Starts it (once: a running one is kept) and waits, up to `seconds` on
    // `clock`, for its port to be listed, calling `idle` between looks.
    StartResult start(Clock& clock, const std::function<void()>& idle, double seconds = 10.0);
    // Ends it; its line leaves the devices file.
    void stop();
    bool running();

    // The folder of its memory and devices file ($XDG_STATE_HOME/korvane).
    static std::string state_folder();
    // What the user is told when start() failed.
    static std::string failure_text(const StartResult& r);

private:
    std::unique_ptr<ChildProcess> process_;
    std::string devices_file_;
};

} // namespace kv::ops
