#pragma once
// How an operation's outcome becomes the command's exit status: 0 done, 1
// the pedal operation failed, 2 a usage error or a bad file, 3 the user
// answered no (Session::declined()). Every command maps through here.

#include "cli/Cli.h"
#include "ops/Firmware.h"
#include "ops/Library.h"

namespace kv::cli {

// `read_back`: whether the pedal could be read again afterwards; an
// operation done on a pedal that then stopped answering failed.
int exit_status(ops::MaintenanceOutcome outcome, bool read_back = true);
int exit_status(ops::FirmwareOutcome outcome, bool read_back = true);
// A pedal operation that either worked or failed.
inline int exit_status(bool ok) { return ok ? kOk : kFailed; }

} // namespace kv::cli
