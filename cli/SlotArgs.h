#pragma once
// What the commands that name slots share: a slot typed as 1 to 32, how a
// slot is named in a question, and a title or record fit for a terminal.

#include "cli/Cli.h"
#include "preset/PresetRecord.h"

#include <array>
#include <optional>
#include <string>

namespace kv::cli {

// "1" to "32" (digits only) as the slot 0 to 31.
std::optional<int> slot_argument(const std::string& text);

// A title from the pedal with control characters shown as '?'.
std::string printable_title(const PresetTitle& title);

// "preset 5 (\"Chorus Deep\")" from the image read at connect.
std::string slot_description(const std::array<uint8_t, kPresetImageSize>& image, int slot);

// The 47 bytes as 94 hexadecimal digits.
std::string record_hex(const PresetRecord& record);

} // namespace kv::cli
