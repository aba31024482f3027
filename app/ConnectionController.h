#pragma once
// Connect and update mode: finds the pedal and reads it (the Connect button
// interactive, the start of the program not), shows the firmware update
// panel while the pedal waits in update mode and brings the editor back
// when it has left it.

#include "ops/Connect.h"

#include <optional>

namespace kv {

class Korvane;

class ConnectionController {
public:
    explicit ConnectionController(Korvane& window) : w_(window) {}

    // What the sequence found; nothing when another exchange was running.
    // A firmware too old is only reported: ending the program is the
    // caller's decision.
    std::optional<ops::ConnectOutcome> connect(bool interactive);

private:
    void show_update_mode(bool at_start);
    void leave_update_mode();

    Korvane& w_;
};

} // namespace kv
