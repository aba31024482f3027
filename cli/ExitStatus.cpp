#include "cli/ExitStatus.h"

namespace kv::cli {

int exit_status(ops::MaintenanceOutcome outcome, bool read_back)
{
    using Outcome = ops::MaintenanceOutcome;
    if (outcome == Outcome::Done) return exit_status(read_back);
    return outcome == Outcome::BadFile || outcome == Outcome::Declined ? kUsage : kFailed;
}

int exit_status(ops::FirmwareOutcome outcome, bool read_back)
{
    using Outcome = ops::FirmwareOutcome;
    if (outcome == Outcome::Updated) return exit_status(read_back);
    return outcome == Outcome::PackageGone || outcome == Outcome::NoLibrary ? kUsage : kFailed;
}

} // namespace kv::cli
