// `korvane factory-reset`: the 32 factory presets and the factory global
// record back into the pedal.

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "ops/Library.h"
#include "platform/DataPaths.h"

namespace kv::cli {

int cmd_factory_reset(Session& s)
{
    const Command& me = *find_command("factory-reset");
    if (!s.args.empty()) return s.usage_error(me, "factory-reset takes no arguments");
    if (!s.connect()) return kFailed;
    if (!s.confirm("Reset the pedal " + s.pedal.serial_number + " to its factory presets and settings?")) return s.declined();
    if (!s.safety_backup("a factory reset")) return kFailed;
    std::array<uint8_t, kGlobalsSize> globals{};
    const ops::FactoryResetResult r =
        ops::factory_reset(s.link(), s.report(), data_dir(), s.pedal.serial_number,
                           ops::PresetImage(s.image.data(), s.image.size()), globals);
    if (r.outcome == ops::MaintenanceOutcome::Done)
        s.out("Factory reset: 32 presets stored and verified, global settings restored.");
    else if (r.outcome == ops::MaintenanceOutcome::Failed)
        s.err("korvane factory-reset: stopped after " + std::to_string(r.stored) + " presets.");
    return exit_status(r.outcome, r.read.ok());
}

} // namespace kv::cli
