#include "preset/PresetRecord.h"

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
    p.set_tap_divide_x(kTapDivide1to1);
    p.set_tap_divide_y(kTapDivide1to1);
    p.set_tap_on_x(true);                          // tap = 0x3B
    p.volume = kVolumeZeroDb;
    p.algorithm_x = 3;    // DCTREM
    p.algorithm_y = 10;   // DIME.C
    // Rate algorithms on both engines: speed 50 -> 1024, depth/tweak 50 % -> 127.
    for (Engine e : {Engine::X, Engine::Y}) {
        p.set_speed(e, 1024);
        p.set_depth(e, 127);
        p.set_tweak(e, 127);
    }
    // Default options of DCTREM and DIME.C.
    p.sp1_x = 1; p.sp2_x = 0; p.sp3_x = 1;
    p.sp1_y = 1; p.sp2_y = 2; p.sp3_y = 0;
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
