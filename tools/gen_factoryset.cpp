// Writes the factory master file, bin/factoryset.fap: the 32 factory presets
// in the preset-image layout (32 parameter blocks of 35 bytes, then 32 titles
// of 12 bytes, 1504 bytes), which Factory Reset stores into the pedal.
//
// usage: gen_factoryset [output path]   (default bin/factoryset.fap)
//
// Presets are written the way a player would set them in the editor: tempo
// algorithms get a BPM, rate algorithms a 0-100 speed, depth and tweak a
// percentage, and secondary parameters a position in their option list (or the
// algorithm's default), which the catalogue turns into the stored code.

#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"
#include "preset/Scales.h"
#include "tools/GeneratorOutput.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kDefault = -1;  // secondary parameter left on the algorithm's default

struct EngineSetting {
    int algorithm;
    double speed;   // BPM for tempo algorithms, 0..100 for rate algorithms
    double depth;   // percent
    double tweak;   // percent
    std::array<int, 3> sp{kDefault, kDefault, kDefault};  // list positions
    bool engaged = true;
};

struct FactoryPreset {
    const char* title;
    EngineSetting x;
    EngineSetting y;
    kv::Routing routing = kv::Routing::Cascade;
    bool rotor_fast = false;
    bool post = false;
    // Knobs handed to the expression pedal or ramp.
    std::vector<std::pair<kv::Engine, kv::Knob>> expression{};
};

using kv::Engine;
using kv::Knob;
using kv::Routing;

const std::vector<FactoryPreset>& factory_presets()
{
    static const std::vector<FactoryPreset> presets = {
        // Bank 1
        {"Lush Chorus", {11, 28, 62, 55, {2, 5}}, {10, 20, 45, 40, {2, 3}}},
        {"Slow Rotary", {29, 35, 80, 70, {1, 1, 0}}, {30, 30, 75, 70, {1, 2, 0}}, Routing::Mixture},
        // Bank 2
        {"Fast Rotary", {29, 35, 80, 70, {2, 1, 1}}, {30, 30, 75, 70, {2, 2, 1}}, Routing::Mixture, true},
        {"Vintage Vibe", {20, 32, 70, 60, {1, 0, 0}}, {22, 25, 40, 50, {0, 0, 0}, false}},
        // Bank 3
        {"Harmonic Trm", {1, 132, 75, 45, {1, 1, 1}}, {24, 45, 55, 50, {4, 5, 1}}},
        {"Chopper 1/8", {2, 240, 100, 50, {0, 0, 3}}, {11, 22, 40, 35}},
        // Bank 4
        {"Quack Filter", {6, 65, 80, 100, {0, 1, 2}}, {18, 55, 60, 45, {0, 2, 4}, false}},
        {"Talk Box", {8, 30, 75, 100, {1, 2, 3}}, {33, 110, 70, 80, {1, 0, 2}, false}},
        // Bank 5
        {"Wah Pedal", {9, 50, 85, 100, {1, 1, 2}}, {5, 30, 60, 100, {0, 0, 7}, false},
         Routing::Cascade, false, false, {{Engine::X, Knob::Speed}}},
        {"Jet Flanger", {14, 18, 55, 60, {0, 13, 12}}, {15, 25, 60, 50, {0, 1, 0}, false}},
        // Bank 6
        {"S&H Madness", {7, 60, 80, 100, {1, 1, 3}}, {16, 40, 50, 50, {1, 0, 5}, false}},
        {"Phase Shift", {17, 30, 70, 60, {0, 1, 3}}, {19, 35, 60, 50, {1, 2, 4}, false}},
        // Bank 7
        {"Octave Crush", {21, 60, 40, 70, {1, 4, 3}}, {25, 70, 45, 55, {1, 0, 6}}, Routing::Cascade},
        {"Ring Bells", {23, 40, 55, 60, {3, 0, 2}}, {36, 160, 60, 55, {2, 2, 3}, false}},
        // Bank 8
        {"Old Record", {27, 40, 35, 100, {3, 3, 4}}, {28, 45, 40, 60, {1, 1, 0}}},
        {"Junk Shop", {25, 55, 60, 70, {2, 0, 5}}, {26, 45, 55, 60, {3, 1, 2}}, Routing::Mixture},
        // Bank 9
        {"Tri-Chorus", {12, 30, 60, 60, {2, 4}}, {13, 35, 35, 45, {1, 6, 3}}},
        {"Slow Swells", {4, 45, 35, 55, {1, 5, 2}}, {11, 20, 45, 40, {3, 3}}},
        // Bank 10
        {"Arp Pulse", {31, 120, 85, 40, {0, 1, 3}}, {3, 40, 30, 50, {1, 1, 2}, false}},
        {"Arp Sweep", {32, 100, 75, 85, {1, 1, 0}}, {34, 100, 55, 50, {0, 2, 13}}, Routing::Cascade},
        // Bank 11
        {"Arp Phaser", {35, 90, 70, 60, {2, 2, 5}}, {10, 20, 40, 35, {1, 3}}},
        {"Arpeggiator", {37, 140, 80, 30, {0, 4, 0}}, {12, 25, 50, 45, {2, 4}}},
        // Bank 12
        {"Surf Trem", {0, 168, 70, 20, {1, 0, 4}}, {24, 50, 60, 50, {3, 6, 1}}},
        {"Dyn Tremolo", {3, 55, 65, 50, {1, 1, 2}}, {10, 25, 45, 40, {1, 2}}},
        // Bank 13
        {"Detune Wide", {13, 30, 30, 50, {1, 7, 2}}, {14, 12, 50, 40, {0, 9, 10}, false}},
        {"Phone Call", {28, 60, 30, 70, {0, 0, 3}}, {24, 50, 70, 55, {2, 5, 2}}},
        // Bank 14
        {"Sub Octave", {21, 80, 20, 60, {0, 2, 2}}, {11, 20, 35, 30, {4, 3}}},
        {"Blues Arp", {37, 100, 75, 40, {1, 0, 1}}, {33, 100, 60, 40, {2, 0, 1}, false}},
        // Bank 15
        {"Tape Warble", {15, 12, 45, 50, {0, 1, 0}}, {27, 30, 20, 100, {6, 6, 2}}},
        {"Stereo Pan", {0, 90, 100, 10, {1, 1, 3}}, {1, 90, 60, 50, {1, 1, 0}, false}, Routing::LrSplit},
        // Bank 16
        {"Lo-Fi Radio", {28, 50, 35, 65, {1, 2, 1}}, {25, 60, 35, 50, {0, 0, 5}}},
        {"Clean Boost", {24, 45, 55, 75, {5, 5, 1}}, {22, 30, 25, 40, {0, 0, 1}, false}},
    };
    return presets;
}

// Secondary parameter i of an engine: the given list position, or the
// algorithm's default position, as the code the editor would store.
std::uint8_t sp_code(const EngineSetting& e, int i)
{
    int position = e.sp[static_cast<std::size_t>(i)];
    if (position == kDefault) position = kv::default_option(e.algorithm, i);
    return static_cast<std::uint8_t>(kv::position_to_code(e.algorithm, i, position));
}

std::uint16_t speed_raw(const EngineSetting& e)
{
    if (kv::is_tempo_algorithm(e.algorithm))
        return kv::tempo_position_to_raw(kv::tempo_position_for_bpm(e.speed));
    return kv::rate_position_to_raw(e.speed);
}

bool setting_is_sound(const FactoryPreset& p, const EngineSetting& e)
{
    bool ok = kv::algorithm_valid(e.algorithm) && e.depth >= 0 && e.depth <= 100 && e.tweak >= 0 && e.tweak <= 100;
    if (kv::is_tempo_algorithm(e.algorithm)) ok = ok && e.speed >= kv::kBpmMin && e.speed <= kv::kBpmMax;
    else ok = ok && e.speed >= 0 && e.speed <= 100;
    for (int i = 0; i < 3; ++i) {
        int position = e.sp[static_cast<std::size_t>(i)];
        if (position != kDefault && (position < 0 || position >= kv::option_count(e.algorithm, i))) ok = false;
    }
    if (!ok) std::fprintf(stderr, "gen_factoryset: \"%s\" has an engine setting out of range\n", p.title);
    return ok;
}

void apply(kv::PresetParameters& block, Engine engine, const EngineSetting& e)
{
    block.set_algorithm(engine, static_cast<kv::AlgorithmId>(e.algorithm));
    block.set_engaged(engine, e.engaged);
    block.set_speed(engine, speed_raw(e));
    block.set_depth(engine, kv::percent_to_raw(e.depth));
    block.set_tweak(engine, kv::percent_to_raw(e.tweak));
    for (int i = 0; i < 3; ++i) block.set_sp(engine, i, sp_code(e, i));
    block.set_tap_divide(engine, kv::kTapDivide1to1);
    block.set_tap_on(engine, kv::tap_capable(e.algorithm));
    // Expression and ramp sweep the whole range of each knob, heel to toe.
    std::uint8_t* levels = block.expression(engine);
    for (int k = 0; k < 6; ++k) levels[k] = (k % 2 == 0) ? 0 : 255;
}

} // namespace

int main(int argc, char** argv)
{
    std::string path = argc > 1 ? argv[1] : "bin/factoryset.fap";
    const auto& presets = factory_presets();
    if (static_cast<int>(presets.size()) != kv::kSlotCount) {
        std::fprintf(stderr, "gen_factoryset: %zu presets, expected %d\n", presets.size(), kv::kSlotCount);
        return 1;
    }

    std::vector<std::uint8_t> image(kv::kPresetImageSize, 0);
    std::array<bool, kv::kAlgorithmCount> used{};
    for (int slot = 0; slot < kv::kSlotCount; ++slot) {
        const FactoryPreset& p = presets[static_cast<std::size_t>(slot)];
        if (!setting_is_sound(p, p.x) || !setting_is_sound(p, p.y)) return 1;
        if (std::string(p.title).size() > kv::kPresetTitleSize) {
            std::fprintf(stderr, "gen_factoryset: title \"%s\" is too long\n", p.title);
            return 1;
        }
        kv::PresetParameters block{};
        apply(block, Engine::X, p.x);
        apply(block, Engine::Y, p.y);
        // A combination's routing wins, as in the editor.
        auto forced = kv::combination_routing(kv::combination_of(p.x.algorithm, p.y.algorithm));
        block.set_routing(forced ? *forced : p.routing);
        block.set_post(p.post);
        if (p.rotor_fast) {
            if (kv::is_rotary_algorithm(p.x.algorithm)) block.set_rotor_fast_x(true);
            if (kv::is_rotary_algorithm(p.y.algorithm)) block.set_rotor_fast_y(true);
        }
        for (const auto& [engine, knob] : p.expression) block.set_expression_assigned(engine, knob, true);
        block.volume = kv::kVolumeZeroDb;
        kv::set_image_parameters(image.data(), slot, block);
        kv::set_image_title(image.data(), slot, kv::make_title(p.title));
        used[static_cast<std::size_t>(p.x.algorithm)] = true;
        used[static_cast<std::size_t>(p.y.algorithm)] = true;
        std::printf("%2d%c  %-12s  %-6s + %-6s\n", kv::slot_bank(slot), kv::slot_patch(slot), p.title,
                    kv::algorithm_code(p.x.algorithm), kv::algorithm_code(p.y.algorithm));
    }
    int count = 0;
    for (bool u : used) count += u ? 1 : 0;

    if (!kv::gen::write_output("gen_factoryset", path, kv::gen::bytes_view(image))) return 1;
    std::printf("wrote %s (%zu bytes, %d of %d algorithms used)\n", path.c_str(), image.size(), count,
                kv::kAlgorithmCount);
    return 0;
}
