#pragma once
// The 38 algorithms the pedal's engines can run: codes, menu texts, knob and
// secondary-parameter labels, option lists and their codes, defaults, speed
// class, tap capability, the three two-engine combinations and the algorithm
// menu's position tables. Fixed data; nothing here is read from the pedal.
//
// An AlgorithmId comes from files and from the pedal, so every lookup accepts
// any integer: an id outside 0 to 37 is looked up as kFallbackAlgorithm (the
// algorithm the menu tables give for positions that are not algorithms), and
// algorithm_valid() tells the caller that this happened. No lookup ever reads
// outside a table.
//
// Secondary parameters are numbered 0 (SP1), 1 (SP2), 2 (SP3). An index
// outside 0 to 2 has no label, no options and converts every value to 0.

#include "preset/PresetRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

constexpr int kAlgorithmCount = 38;
constexpr int kSpCount = 3;
constexpr AlgorithmId kFallbackAlgorithm = 0;     // "TRMOLO"
constexpr AlgorithmId kFirstArpAlgorithm = 31;    // "ARP.TR" ... "ARPGTR" (37)
constexpr AlgorithmId kAlgorithmRecord = 27;
constexpr AlgorithmId kAlgorithmPhonos = 28;
constexpr AlgorithmId kAlgorithmHorn = 29;
constexpr AlgorithmId kAlgorithmDrum = 30;
constexpr AlgorithmId kAlgorithmBitCrusher = 25;
constexpr AlgorithmId kAlgorithmJunkie = 26;
constexpr AlgorithmId kAlgorithmParaEq = 24;
constexpr AlgorithmId kAlgorithmArpeggiator = 37;
constexpr AlgorithmId kDefaultAlgorithmX = 3;     // "DCTREM"
constexpr AlgorithmId kDefaultAlgorithmY = 10;    // "DIME.C"
constexpr int kHiddenOptionCount = 2;

// Tempo algorithms (0-2, 31-37) show their speed in BPM; rate algorithms
// (3-30) on a plain 0 to 100 scale.
enum class SpeedClass : uint8_t { Rate, Tempo };

// How a list position becomes the option code stored in the preset.
enum class CodeRule : uint8_t {
    Plain,       // code = position
    SkipCode1,   // 0 stays 0, p > 0 becomes p + 1 (code 1 never produced)
    Arp,         // p + min(p, 3): positions 0..4 -> codes 0, 2, 4, 6, 7
    FromOne,     // p + 1 (codes count from 1)
};

struct SecondaryParameterInfo {
    const char* label;                       // a single blank when hidden
    bool hidden;                             // list not shown; option count 2
    std::span<const char* const> options;    // texts without leading blanks, DSP-X wording; empty when hidden
};

struct AlgorithmInfo {
    const char* code;                        // six characters (HORN/DRUM four)
    const char* menu_group;                  // e.g. "A m p l i t u d e"
    const char* menu_entry;                  // e.g. "Tremolo"
    std::array<const char*, 3> knob_labels;  // SPEED, DEPTH, TWEAK knobs
    std::array<SecondaryParameterInfo, 3> sp;
    SpeedClass speed;
    bool tap_capable;
    std::array<uint8_t, 3> defaults;         // default code of SP1..SP3, also the default list position
};

// --- algorithm lookups ---
constexpr bool algorithm_valid(int id) { return id >= 0 && id < kAlgorithmCount; }
// The id itself when valid, otherwise kFallbackAlgorithm.
constexpr AlgorithmId resolve_algorithm(int id) { return algorithm_valid(id) ? AlgorithmId(id) : kFallbackAlgorithm; }

const AlgorithmInfo& algorithm_info(int id);
const char* algorithm_code(int id);
SpeedClass speed_class(int id);
bool is_tempo_algorithm(int id);
bool tap_capable(int id);
// The arp algorithms 31 to 37; their arp index is id - 31 (-1 for others).
bool is_arp_algorithm(int id);
int arp_index(int id);
// HORN or DRUM: the engine has a rotor speed.
bool is_rotary_algorithm(int id);
uint8_t default_option(int id, int sp);
std::array<uint8_t, 3> default_options(int id);

// Knob label with the rename that follows SP1 ("FORMNT" and "ENVPHI" read
// "MANUAL" on their Manual option).
const char* knob_label(int id, Knob knob, int sp1_code);
// Secondary-parameter label with the rename that follows SP1 ("FLANGE" SP2
// reads "Sensitivity" unless SP1 is Static LFO).
const char* sp_label(int id, int sp, int sp1_code);

// --- option lists ---
bool sp_hidden(int id, int sp);
CodeRule code_rule(int id, int sp);
// Number of options in the list (2 for a hidden list).
int option_count(int id, int sp);
// The list as the engine's menu shows it: each text with its leading blank(s)
// and the engine's own wording. A hidden list holds two placeholder items.
std::vector<std::string> option_texts(Engine engine, int id, int sp);

// --- position <-> code ---
// The code stored for a list position (a position outside the list is first
// clamped into it).
int position_to_code(int id, int sp, int position);
// The load clamp: the code a block keeps after its value has been brought
// into the list's range (the arp sequence codes are not clamped).
int clamp_code(int id, int sp, int code);
// The list position shown for a stored code, after the load clamp. Always a
// valid position of the list: an arp sequence code above 8 shows the last
// option, "Sequence Random".
int code_to_position(int id, int sp, int code);
// The code a loaded value ends up as once the list's callback has run:
// position_to_code(code_to_position(code)).
int normalised_code(int id, int sp, int code);

// --- combinations ---
enum class Combination : uint8_t { Off = 0, Rotary = 1, Vinyl = 2, Junk = 3 };
// Rotary: HORN and DRUM in either order. Vinyl: RECORD on DSP-X and PHONOS on
// DSP-Y (this order only). Junk: BITCRS and JUNKIE in either order.
Combination combination_of(int algorithm_x, int algorithm_y);
// The routing a combination forces; nothing for Off.
std::optional<Routing> combination_routing(Combination c);
// The banner image's file name, or nullptr for Off.
const char* combination_banner(Combination c);

// --- the algorithm menu ---
struct AlgorithmMenuItem {
    const char* text;   // a menu path; "/" opens a submenu
    bool active;        // false for the title, rules and spacers
};
// The 45 items added to an engine's menu, in order (DSP-X and DSP-Y differ
// only in trailing blanks).
std::span<const AlgorithmMenuItem> algorithm_menu_items(Engine engine);

// Positions count every item the toolkit creates, submenu titles and closing
// markers included.
constexpr int kMenuPositionCount = 56;
constexpr int kMenuStartPositionX = 6;    // "Dynamic Tremolo"
constexpr int kMenuStartPositionY = 19;   // "Dimension"
// Position to id: positions that are not algorithms (and positions outside the
// table) give 0.
AlgorithmId position_to_algorithm(int position);
// Id to position; an invalid id gives the position of kFallbackAlgorithm.
int algorithm_to_position(int id);
const std::array<int, kMenuPositionCount>& position_to_algorithm_table();
const std::array<int, kAlgorithmCount>& algorithm_to_position_table();

// --- the tap-divide list ---
// Item texts 0 to 7; the position is the tap_divide value. Outside: "".
const char* tap_divide_text(int position);

}  // namespace kv
