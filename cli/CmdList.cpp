// `korvane list`: every slot of the pedal, one line each.

#include "cli/Commands.h"
#include "preset/Catalogue.h"

#include <cstdio>

namespace kv::cli {

namespace {
// A title from the pedal may hold any byte: show control characters as '?'
// so that a damaged title cannot drive the terminal.
std::string printable(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}
} // namespace

int cmd_list(Session& s)
{
    if (!s.args.empty()) return s.usage_error(commands()[0], "list takes no arguments");
    if (!s.connect()) return kFailed;

    const std::string serial = s.pedal.serial_number.empty() ? "(unknown)" : s.pedal.serial_number;
    s.out("Serial No. " + serial + "  Firmware " + s.pedal.firmware_text());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PresetParameters p = image_parameters(s.image.data(), slot);
        const std::string title = printable(title_text(image_title(s.image.data(), slot)));
        char line[160];
        std::snprintf(line, sizeof line, "%2d  %2d-%c  %-12s  %c %c  X: %-6s  Y: %-6s", slot + 1, slot_bank(slot),
                      slot_patch(slot), title.c_str(), p.auto_stomp() ? 'S' : '-', p.bypass_on_pc() ? 'B' : '-',
                      algorithm_code(p.algorithm_x), algorithm_code(p.algorithm_y));
        s.out(line);
    }
    return kOk;
}

} // namespace kv::cli
