#include "cli/ExitStatus.h"

namespace kv::cli {

int exit_status(ops::MaintenanceOutcome outcome, bool read_back)
{
    switch (outcome) {
    case ops::MaintenanceOutcome::Done: return exit_status(read_back);
    case ops::MaintenanceOutcome::BadFile:
    case ops::MaintenanceOutcome::Declined: return kUsage;
    case ops::MaintenanceOutcome::NotFound:
    case ops::MaintenanceOutcome::Failed: break;
    }
    return kFailed;
}

int exit_status(ops::FirmwareOutcome outcome, bool read_back)
{
    switch (outcome) {
    case ops::FirmwareOutcome::Updated: return exit_status(read_back);
    case ops::FirmwareOutcome::PackageGone:
    case ops::FirmwareOutcome::NoLibrary: return kUsage;
    case ops::FirmwareOutcome::PageFailed:
    case ops::FirmwareOutcome::EchoMismatch: break;
    }
    return kFailed;
}

} // namespace kv::cli
