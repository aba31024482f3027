#pragma once
// Stored presets from older firmware, brought to the numbering the current
// firmware reads. The pedal's algorithm list gained an entry after code 8,
// some ranges shrank, and early firmware had other tempo algorithms; after a
// firmware update every stored preset is passed through the rule of the
// version the pedal had before, and the ones it changes are stored again.

#include "preset/PedalVersion.h"
#include "preset/PresetRecord.h"

#include <cstdint>
#include <optional>

namespace kv {

enum class MigrationRule {
    A,   // before 2.0
    B,   // 2.0.0 to 2.0.7
    C,   // 2.0.8 to 2.1.x
    D,   // 2.2.x
};

// The rule for the firmware the pedal ran before an update (its Get Pedal
// State bytes, the major number read as the packages lay it out: a blank
// pedal's 0xFF is 7.15 and needs no migration); none for 2.3.0 and later,
// whose presets need nothing. The
// AUX codes of the global record move for rules A to C.
std::optional<MigrationRule> migration_rule(uint8_t firmware_version, uint8_t pedal_mode);
bool migrates_aux_codes(MigrationRule rule);

// Applies the rule to one preset's block; true when the preset must be
// stored again.
bool migrate_preset(PresetParameters& p, MigrationRule rule);

} // namespace kv
