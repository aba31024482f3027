#pragma once
// After a firmware update: read all presets, store again the ones the new
// firmware would misread (each under its own title), then read everything
// as the connect sequence does.

#include "ops/Connect.h"
#include "preset/PresetMigration.h"

#include <functional>

namespace kv::ops {

// Rebuilds both engines' programs from a parameter block (the editor's
// algorithm images patched with the block's options).
using ProgramBuilder = std::function<void(const PresetParameters&, DspProgram& x, DspProgram& y)>;

struct MigrationResult {
    EverythingRead read;
    int rewritten = 0;        // presets stored again
    int failed_stores = 0;    // of those, stores that did not verify
};

// Pause about a second (no events), ReadAll, migrate and store, then
// read_everything's remaining steps (slot 0, arp sequences). A failed
// ReadAll is reported as a USB problem and stops it.
MigrationResult read_everything_migrating(UsbLink& link, Reporter& report, MigrationRule rule, PresetImage image,
                                          const ProgramBuilder& build);

} // namespace kv::ops
