// `korvane list`: every slot of the pedal, one line each.

#include "cli/Commands.h"
#include "cli/Json.h"
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
    if (!s.args.empty()) return s.usage_error(*find_command("list"), "list takes no arguments");
    if (!s.connect()) return kFailed;

    const std::string serial = s.pedal.serial_number.empty() ? "(unknown)" : s.pedal.serial_number;
    if (s.json) {
        std::string out = "{" + json_member("serial_number", json_string(s.pedal.serial_number)) + ", " +
                          json_member("firmware", json_string(s.pedal.firmware_text())) + ", \"slots\": [";
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const PresetParameters p = image_parameters(s.image.data(), slot);
            const std::string patch(1, slot_patch(slot));
            out += std::string(slot ? "," : "") + "\n  {" + json_member("slot", std::to_string(slot + 1)) + ", " +
                   json_member("pc", std::to_string(slot)) + ", " +
                   json_member("bank_patch", json_string(std::to_string(slot_bank(slot)) + "-" + patch)) + ", " +
                   json_member("title", json_string(title_text(image_title(s.image.data(), slot)))) + ", " +
                   json_member("algorithm_x", json_string(algorithm_code(p.algorithm_x))) + ", " +
                   json_member("algorithm_y", json_string(algorithm_code(p.algorithm_y))) + ", " +
                   json_member("auto_stomp", json_bool(p.auto_stomp())) + ", " +
                   json_member("bypass_on_pc", json_bool(p.bypass_on_pc())) + "}";
        }
        s.out(out + "\n]}");
        return kOk;
    }
    // The pedal on standard error; the table alone on standard output.
    s.err("Serial No. " + serial + "  Firmware " + s.pedal.firmware_text());
    s.out(" #  PC     Bank  Title         S B  DSP-X      DSP-Y");
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PresetParameters p = image_parameters(s.image.data(), slot);
        const std::string title = printable(title_text(image_title(s.image.data(), slot)));
        char line[160];
        std::snprintf(line, sizeof line, "%2d  PC.%-2d  %2d-%c  %-12s  %c %c  X: %-6s  Y: %s", slot + 1, slot,
                      slot_bank(slot), slot_patch(slot), title.c_str(), p.auto_stomp() ? 'S' : '-',
                      p.bypass_on_pc() ? 'B' : '-', algorithm_code(p.algorithm_x), algorithm_code(p.algorithm_y));
        s.out(line);
    }
    return kOk;
}

} // namespace kv::cli
