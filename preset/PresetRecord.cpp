#include "preset/PresetRecord.h"

#include "preset/Catalogue.h"
#include "preset/Scales.h"

#include <cstring>

namespace kv {

PresetTitle make_title(std::string_view text)
{
    PresetTitle t;
    std::memset(t.text, ' ', kPresetTitleSize);
    const size_t n = text.size() < kPresetTitleSize ? text.size() : kPresetTitleSize;
    std::memcpy(t.text, text.data(), n);
    return t;
}

std::string title_text(const PresetTitle& title)
{
    size_t n = kPresetTitleSize;
    while (n > 0 && (title.text[n - 1] == ' ' || title.text[n - 1] == '\0')) --n;
    return std::string(title.text, n);
}

PresetParameters parameters_from_bytes(const uint8_t* bytes)
{
    PresetParameters p;
    std::memcpy(&p, bytes, kPresetParametersSize);
    return p;
}

PresetRecord record_from_bytes(const uint8_t* bytes)
{
    PresetRecord r;
    std::memcpy(&r, bytes, kPresetRecordSize);
    return r;
}

PresetParameters default_parameters()
{
    PresetParameters p;
    std::memset(&p, 0, sizeof p);
    p.flags = bits::kEngagedX | bits::kEngagedY;   // Cascade, Pre
    p.volume = kVolumeZeroDb;
    p.algorithm_x = kDefaultAlgorithmX;
    p.algorithm_y = kDefaultAlgorithmY;
    // Tap divides 1:1 (on where the algorithm follows tap: tap = 0x3B), both
    // start-up algorithms are rate algorithms with every knob in the middle of
    // its scale, and every option on its default.
    for (Engine e : {Engine::X, Engine::Y}) {
        const AlgorithmId a = p.algorithm(e);
        p.set_tap_divide(e, kTapDivide1to1);
        p.set_tap_on(e, tap_capable(a));
        p.set_speed(e, rate_position_to_raw(kKnobMiddle));
        p.set_depth(e, percent_to_raw(kKnobMiddle));
        p.set_tweak(e, percent_to_raw(kKnobMiddle));
        for (int sp = 0; sp < kSpCount; ++sp) p.set_sp(e, sp, default_option(a, sp));
    }
    return p;
}

PresetParameters image_parameters(const uint8_t* image, int slot)
{
    PresetParameters p;
    std::memset(&p, 0, sizeof p);
    if (slot_valid(slot)) std::memcpy(&p, image + slot_parameters_offset(slot), kPresetParametersSize);
    return p;
}

PresetTitle image_title(const uint8_t* image, int slot)
{
    PresetTitle t;
    std::memset(&t, 0, sizeof t);
    if (slot_valid(slot)) std::memcpy(&t, image + slot_title_offset(slot), kPresetTitleSize);
    return t;
}

PresetRecord image_record(const uint8_t* image, int slot)
{
    return PresetRecord{image_parameters(image, slot), image_title(image, slot)};
}

bool set_image_parameters(uint8_t* image, int slot, const PresetParameters& p)
{
    if (!slot_valid(slot)) return false;
    std::memcpy(image + slot_parameters_offset(slot), &p, kPresetParametersSize);
    return true;
}

bool set_image_title(uint8_t* image, int slot, const PresetTitle& t)
{
    if (!slot_valid(slot)) return false;
    std::memcpy(image + slot_title_offset(slot), &t, kPresetTitleSize);
    return true;
}

bool set_image_record(uint8_t* image, int slot, const PresetRecord& r)
{
    return set_image_parameters(image, slot, r.parameters) && set_image_title(image, slot, r.title);
}

}  // namespace kv
