// `korvane list`: every slot of the pedal, one line each.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "preset/Catalogue.h"

#include "cli/PresetData.h"

namespace kv::cli {

namespace {
std::string padded(std::string text, size_t width)
{
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}
} // namespace

int cmd_list(Session& s)
{
    if (!s.connect()) return kFailed;

    const std::string serial = s.pedal.serial_number.empty() ? "(unknown)" : s.pedal.serial_number;
    if (s.json) {
        nlohmann::json slots = nlohmann::json::array();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const PresetParameters p = image_parameters(s.image.data(), slot);
            slots.push_back({{"slot", slot + 1},
                             {"pc", slot},
                             {"bank_patch", std::to_string(slot_bank(slot)) + "-" + slot_patch(slot)},
                             {"title", pedal_text(title_text(image_title(s.image.data(), slot)))},
                             {"algorithm_x", algorithm_shown(p.algorithm_x)},
                             {"algorithm_y", algorithm_shown(p.algorithm_y)},
                             {"auto_stomp", p.auto_stomp()},
                             {"bypass_on_program_change", p.bypass_on_pc()}});
        }
        s.out(json_text({{"serial_number", s.pedal.serial_number},
                         {"firmware", s.pedal.firmware_text()},
                         {"slots", slots}}));
        return kOk;
    }
    // The pedal on standard error; the table alone on standard output.
    s.note("Serial No. " + serial + "  Firmware " + s.pedal.firmware_text());
    s.out(" #  PC     Bank  Title         S B  DSP-X      DSP-Y");
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PresetParameters p = image_parameters(s.image.data(), slot);
        const std::string number = std::to_string(slot + 1);
        const std::string bank = std::to_string(slot_bank(slot));
        s.out(std::string(number.size() < 2 ? " " : "") + number + "  " + padded("PC." + std::to_string(slot), 5) +
              "  " + std::string(bank.size() < 2 ? " " : "") + bank + "-" + slot_patch(slot) + "  " +
              padded(title_text(image_title(s.image.data(), slot)), 12) + "  " + (p.auto_stomp() ? 'S' : '-') + " " +
              (p.bypass_on_pc() ? 'B' : '-') + "  X: " + padded(algorithm_shown(p.algorithm_x), 6) +
              "  Y: " + algorithm_shown(p.algorithm_y));
    }
    return kOk;
}

} // namespace kv::cli
