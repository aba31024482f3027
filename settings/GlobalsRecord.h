#pragma once
// The pedal's global configuration: 34 single bytes that belong to no preset.
// Bytes 0..2 are the AUX footswitch actions (TIP, TIP + RING, RING); byte 3
// holds the favourite preset (bits 0-4), the number of preset pages less one
// (bits 5-6) and the input pad (bit 7); byte 4 the MIDI channel less one
// (bits 0-3), two bits we never interpret (4-5, always written back as
// read), the tempo LED (bit 6 set = blinking off) and footswitch B/X (bit 7
// set = tap tempo); bytes 5..33 the CC number of each of the 29 MIDI
// functions.
//
// On the wire the record is rotated: GET_GLOBALS answers, and SET_GLOBALS
// carries, bytes 3..33 first and the three AUX actions last. Everything here
// is in record order; to_wire()/from_wire() turn it.
//
// The two settings panels each edit their own part (GlobalSettings,
// MidiSettings) and send the whole record; what a panel does not show goes
// back as it was last read. Nothing here sees the toolkit or the link.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

constexpr size_t kGlobalsRecordSize = 34;
constexpr size_t kAuxContacts = 3;          // bytes 0..2
constexpr int kAuxActionCount = 16;         // codes 0..15
constexpr uint8_t kAuxNoSelection = 255;    // a list without selection
constexpr uint8_t kAuxFavorite = 7;         // the action that calls the favourite preset
constexpr int kFavouriteCount = 32;         // "1A" .. "16B"
constexpr int kPageChoices = 4;             // 1..4 pages
constexpr int kMidiChannels = 16;
constexpr int kCcFunctionCount = 29;        // bytes 5..33
constexpr size_t kCcMapOffset = 5;
constexpr int kCcMax = 99;                  // CC numbers the pedal takes: 0..99

// The three contacts of an external AUX switch, in record order.
enum class AuxContact : uint8_t { Tip = 0, TipRing = 1, Ring = 2 };

using CcMap = std::array<uint8_t, kCcFunctionCount>;

// What the global settings panel shows.
struct GlobalSettings {
    std::array<uint8_t, kAuxContacts> aux{};   // action codes; kAuxNoSelection for an empty list
    int favourite = 0;                         // 0 = "1A" .. 31 = "16B"
    int pages_index = 3;                       // 0..3 = 1..4 pages
    bool pad_6db = false;                      // "-6 dB pad" (else "0 dB (no pad)")
    bool tap_tempo = false;                    // footswitch B/X taps the tempo (else "Preset")
    bool blinking_off = false;                 // tempo LED does not blink
    bool operator==(const GlobalSettings&) const = default;
};

// What the MIDI settings panel shows.
struct MidiSettings {
    int channel_index = 0;   // 0..15 = channel 1..16
    CcMap cc{};
    bool operator==(const MidiSettings&) const = default;
};

struct GlobalsRecord {
    std::array<uint8_t, kGlobalsRecordSize> bytes{};

    // The editor's copy before anything was read: no AUX actions, favourite
    // 1A, four pages, no pad, channel 1, LED blinking, B/X calls preset B,
    // CC map 14..42.
    static GlobalsRecord startup();
    // What a factory reset writes: the start-up record with TIP "Bank Down",
    // TIP + RING "Tap Tempo" and RING "Bank Up".
    static GlobalsRecord factory();
    // From the 34 bytes of a GET_GLOBALS reply (wire order).
    static GlobalsRecord from_wire(const uint8_t* wire);
    // The 34 bytes SET_GLOBALS carries after its command byte.
    std::array<uint8_t, kGlobalsRecordSize> to_wire() const;

    uint8_t aux(AuxContact c) const { return bytes[size_t(c)]; }
    void set_aux(AuxContact c, uint8_t code) { bytes[size_t(c)] = code; }
    int favourite() const { return bytes[3] & 0x1F; }
    int pages_index() const { return (bytes[3] >> 5) & 0x03; }
    bool pad_6db() const { return bytes[3] & 0x80; }
    int channel_index() const { return bytes[4] & 0x0F; }
    bool blinking_off() const { return bytes[4] & 0x40; }
    bool tap_tempo() const { return bytes[4] & 0x80; }
    uint8_t cc(int function) const;   // 0 outside 0..28
    CcMap cc_map() const;

    GlobalSettings global_settings() const;
    MidiSettings midi_settings() const;
    // The global panel's Confirm: bytes 0..2 the three actions; byte 3 built
    // from favourite, pages and pad; bits 6 and 7 of byte 4 from the LED and
    // footswitch, its bits 0-5 kept. The CC map is not touched.
    void apply(const GlobalSettings& s);
    // The MIDI panel's Confirm: bits 0-3 of byte 4 the channel (bits 4-7
    // kept), bytes 5..33 the map. Nothing else is touched.
    void apply(const MidiSettings& s);

    bool operator==(const GlobalsRecord&) const = default;
};

// After a firmware update from before 2.2 the action codes moved up by two:
// each of bytes 0..2 becomes its value plus 2 (in 8 bits), at most 15. The
// other bytes are kept.
GlobalsRecord migrated_aux_codes(const GlobalsRecord& read);

// --- what the panels show ---
// The action label without the two blanks the lists put before it
// ("Patch Up"); empty outside 0..15.
std::string_view aux_action_name(int code);
// The line drawn under an AUX list for the selected action; empty when none.
std::string_view aux_hint(AuxContact contact, int code);
std::string_view aux_contact_name(AuxContact contact);   // "TIP", "TIP + RING", "RING"
// The "Fave Preset" list is usable only when some AUX list selects "Favorite".
bool favourite_list_enabled(const std::array<uint8_t, kAuxContacts>& aux);
// "1A" .. "16B" for 0..31; empty outside.
std::string favourite_name(int index);
std::string_view cc_function_name(int function);   // "DSP-X" .. "EXP PEDAL"
// The CC values the pedal takes for the function ("0 = Bypass, 127 = Engage");
// the secondary-parameter rows end in "0 -" and cc_range_ends_in_k() is true.
std::string_view cc_value_range(int function);
bool cc_range_ends_in_k(int function);

// A typed CC number as the MIDI panel takes it: leading blanks, an optional
// sign, then the leading digits (none gives 0); clamped to 0..99.
int parse_cc_text(std::string_view text);
// Whether `value` is held by any function of `map` other than `function`.
bool cc_in_use_elsewhere(const CcMap& map, int function, int value);

// Why a record could not have come from the panels; empty when it could.
// Each problem is one line ("CC number 120 of X-SPEED is above 99",
// "TIP + RING: AUX action code 16 is out of range", "CC 14 is used by both
// DSP-X and DSP-Y").
std::vector<std::string> record_problems(const GlobalsRecord& r);

// Every setting as "name: value", one per line, in the panels' words.
std::vector<std::string> describe(const GlobalsRecord& r);

} // namespace kv
