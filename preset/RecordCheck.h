#pragma once
// Whether a preset record from a file (an offline preset, a backup) is one
// the editor and the pedal can make sense of, checked before it is stored in
// the pedal. The rules are the ones the editor applies when it loads a block:
//   - each engine's algorithm is one of the catalogue's 38 (0 to 37);
//   - the routing is Cascade, Mixture or LR-split (not the fourth pattern);
//   - each visible secondary parameter holds a code its algorithm's option
//     list can produce (the editor would otherwise clamp it);
//   - the speed fields use their 11 bits only (bits 11 to 15 clear);
//   - the title is printable text (0x20 to 0x7E), padded with spaces or with
//     NULs at its end.
// What the editor only normalises (a volume above 9, the tap and focus bits)
// is not refused. A backup of random bytes breaks these rules at once.
// Toolkit-free.

#include "preset/PresetRecord.h"

#include <string>

namespace kv {

// The first rule the record breaks, for the user ("DSP-X algorithm code 200
// is not an algorithm (0 to 37)"); empty when it breaks none.
std::string record_problem(const PresetRecord& record);

// The first problem of any of the 32 presets of a 1504-byte image, prefixed
// with the preset ("preset 7: ..."); empty when all are fine.
std::string image_problem(const uint8_t* image);

}  // namespace kv
