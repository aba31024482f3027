#pragma once
// Connect and update mode: finds the pedal and reads it (the Connect button
// interactive, the start of the program not), shows the firmware update
// panel while the pedal waits in update mode and brings the editor back
// when it has left it.

#include "ops/Connect.h"
#include "ops/DemoPedal.h"

#include <memory>
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

    // "Try with a simulated pedal": starts the installed tessivar-sim
    // (ops/DemoPedal.h) and connects to it; a failure is said in a dialog
    // and on the board. `interactive` as for connect().
    std::optional<ops::ConnectOutcome> try_simulated_pedal(bool interactive);
    // The connected pedal is the simulated one started here.
    bool pedal_simulated();
    // Ends the simulated pedal (the program is ending).
    void end_simulated_pedal();

    static constexpr const char* kTrySimulatedText = "Try with a simulated pedal";

private:
    // One run of the sequence; `try_simulated`: the user asked for the
    // simulated pedal in the not-found dialog.
    std::optional<ops::ConnectOutcome> connect_once(bool interactive, bool& try_simulated);
    void show_update_mode(bool at_start);
    void leave_update_mode();

    Korvane& w_;
    std::unique_ptr<ops::DemoPedal> demo_;
};

} // namespace kv
