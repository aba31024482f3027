// `korvane library`: writes the algorithm library, the display data and the
// factory arp sequences from the program's data folder into the pedal.

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "ops/Library.h"
#include "platform/DataPaths.h"

namespace kv::cli {

int cmd_library(Session& s)
{
    const Command& me = *find_command("library");
    if (!s.args.empty()) return s.usage_error(me, "library takes no arguments");
    // The pedal must run normally: update mode reads these bytes otherwise.
    if (!s.connect()) return kFailed;
    if (!s.confirm("Rewrite the algorithm library of the pedal " + s.pedal.serial_number + "?")) return s.declined();
    if (!s.safety_backup("updating the algorithm library")) return kFailed;
    const ops::LibraryUpdateResult r = ops::update_library(s.link(), s.report(), data_dir(), s.pedal.serial_number);
    if (r.outcome == ops::MaintenanceOutcome::Done)
        s.out("Library updated: " + std::to_string(r.blocks_written) + " blocks written and verified.");
    else if (r.outcome == ops::MaintenanceOutcome::Failed)
        s.err("korvane library: " + std::to_string(r.errors) + " block(s) failed.");
    return exit_status(r.outcome);
}

} // namespace kv::cli
