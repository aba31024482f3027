#include "preset/RecordCheck.h"

#include "preset/Catalogue.h"

#include <algorithm>
#include <cstdio>

namespace kv {

namespace {

const char* engine_name(Engine e) { return e == Engine::X ? "DSP-X" : "DSP-Y"; }

// The largest code the option list can store (an arp sequence code above the
// list's last shows as "Sequence Random" and is kept: 8 is still one).
int largest_code(int id, int sp)
{
    const int last = position_to_code(id, sp, option_count(id, sp) - 1);
    return code_rule(id, sp) == CodeRule::Arp ? std::max(last, 8) : last;
}

}  // namespace

std::string record_problem(const PresetRecord& record)
{
    const PresetParameters& p = record.parameters;
    for (Engine e : {Engine::X, Engine::Y}) {
        const int id = p.algorithm(e);
        if (!algorithm_valid(id))
            return std::string(engine_name(e)) + " algorithm code " + std::to_string(id) +
                   " is not an algorithm (0 to 37)";
    }
    if (p.routing() > 2) return "the routing code 3 is none of Cascade, Mixture and LR-split";
    for (Engine e : {Engine::X, Engine::Y}) {
        const int id = p.algorithm(e);
        for (int sp = 0; sp < 3; ++sp) {
            if (sp_hidden(id, sp)) continue;
            const int code = p.sp(e, sp);
            if (code > largest_code(id, sp))
                return std::string(engine_name(e)) + " secondary parameter " + std::to_string(sp + 1) + " code " +
                       std::to_string(code) + " is not an option of " + algorithm_code(id);
        }
        if (p.speed_field(e) & ~bits::kSpeedMask)
            return std::string(engine_name(e)) + " speed uses reserved bits (" + std::to_string(p.speed_field(e)) +
                   " is above 2047)";
    }
    size_t end = kPresetTitleSize;
    while (end > 0 && record.title.text[end - 1] == '\0') --end;
    for (size_t i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(record.title.text[i]);
        if (c < 0x20 || c > 0x7E) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", c);
            return "the title holds the unprintable byte " + std::string(hex);
        }
    }
    return {};
}

std::string image_problem(const uint8_t* image)
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PresetRecord r{image_parameters(image, slot), image_title(image, slot)};
        const std::string problem = record_problem(r);
        if (!problem.empty()) return "preset " + std::to_string(slot + 1) + ": " + problem;
    }
    return {};
}

}  // namespace kv
