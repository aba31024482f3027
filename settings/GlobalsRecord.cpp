#include "settings/GlobalsRecord.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr size_t kHead = kAuxContacts;                       // bytes 0..2 travel last
constexpr size_t kTail = kGlobalsRecordSize - kAuxContacts;  // bytes 3..33 travel first

struct AuxAction {
    const char* name;
    int hint;   // index into the hints below
};

// Hints: the Ramp ones depend on the contact (TIP holds for Ramp Y, RING
// for Ramp X, TIP + RING has no hold action).
enum Hint { kHoldRamp = 0, kNone, kMomentary, kInstantRamp, kResetArp };

constexpr AuxAction kAuxActions[kAuxActionCount] = {
    {"Patch Up", kHoldRamp},        {"Patch Down", kHoldRamp},       {"Bank Up", kHoldRamp},
    {"Bank Down", kHoldRamp},       {"Page Up", kHoldRamp},          {"Load Patch A", kHoldRamp},
    {"Load Patch B", kHoldRamp},    {"Favorite", kHoldRamp},         {"Bypass - Engage", kHoldRamp},
    {"Preset <> Stomp", kHoldRamp}, {"Tap Tempo", kNone},            {"DSP-X Control", kMomentary},
    {"DSP-Y Control", kMomentary},  {"Instant-Ramp X", kInstantRamp}, {"Instant-Ramp Y", kInstantRamp},
    {"Reset Sequence", kResetArp},
};

struct CcFunction {
    const char* name;
    const char* range;
    bool ends_in_k;
};

constexpr CcFunction kCcFunctions[kCcFunctionCount] = {
    {"DSP-X", "0 = Bypass, 127 = Engage", false},
    {"DSP-Y", "0 = Bypass, 127 = Engage", false},
    {"RAMP-X", "0 = Release, 127 = Activate", false},
    {"RAMP-Y", "0 = Release, 127 = Activate", false},
    {"X TAP-DIVIDE", "0 - 7", false},
    {"Y TAP-DIVIDE", "0 - 7", false},
    {"X-ALGORITHM", "0 - 21", false},
    {"Y-ALGORITHM", "0 - 21", false},
    {"BYPASS PEDAL", "0 = Bypass, 127 = Engage", false},
    {"TAP-TEMPO", "any", false},
    {"PRE/POST", "0 = Pre, 127 = Post", false},
    {"DSP ROUTING", "0 = Cascade,  1 = Mix,  2 = Split", false},
    {"LOAD PATCH", "0 = Patch A, 127 = Patch B", false},
    {"TOGGLE ROTOR", "any", false},
    {"RESET ARP SEQ", "any", false},
    {"CHANGE BANK", "0 = Bank Down, 127 = Bank Up", false},
    {"X-SPEED", "0 - 127", false},
    {"X-DEPTH", "0 - 127", false},
    {"X-TWEAK", "0 - 127", false},
    {"X-SP 1", "0 -", true},
    {"X-SP 2", "0 -", true},
    {"X-SP 3", "0 -", true},
    {"Y-SPEED", "0 - 127", false},
    {"Y-DEPTH", "0 - 127", false},
    {"Y-TWEAK", "0 - 127", false},
    {"Y-SP 1", "0 -", true},
    {"Y-SP 2", "0 -", true},
    {"Y-SP 3", "0 -", true},
    {"EXP PEDAL", "0 -127", false},
};

bool function_valid(int f) { return f >= 0 && f < kCcFunctionCount; }

std::string aux_value_text(uint8_t code)
{
    if (code < kAuxActionCount) return std::string(aux_action_name(code));
    if (code == kAuxNoSelection) return "(none)";
    return "(code " + std::to_string(code) + ")";
}

} // namespace

GlobalsRecord GlobalsRecord::startup()
{
    GlobalsRecord r;
    r.bytes[3] = 0x60;   // four pages, favourite 1A, no pad
    r.bytes[4] = 0x00;   // channel 1, LED blinking, B/X calls preset B
    for (int k = 0; k < kCcFunctionCount; ++k) r.bytes[kCcMapOffset + size_t(k)] = uint8_t(14 + k);
    return r;
}

GlobalsRecord GlobalsRecord::factory()
{
    GlobalsRecord r = startup();
    r.bytes[0] = 3;    // TIP: Bank Down
    r.bytes[1] = 10;   // TIP + RING: Tap Tempo
    r.bytes[2] = 2;    // RING: Bank Up
    return r;
}

GlobalsRecord GlobalsRecord::from_wire(const uint8_t* wire)
{
    GlobalsRecord r;
    if (!wire) return r;
    std::memcpy(r.bytes.data() + kHead, wire, kTail);
    std::memcpy(r.bytes.data(), wire + kTail, kHead);
    return r;
}

std::array<uint8_t, kGlobalsRecordSize> GlobalsRecord::to_wire() const
{
    std::array<uint8_t, kGlobalsRecordSize> w{};
    std::memcpy(w.data(), bytes.data() + kHead, kTail);
    std::memcpy(w.data() + kTail, bytes.data(), kHead);
    return w;
}

uint8_t GlobalsRecord::cc(int function) const
{
    return function_valid(function) ? bytes[kCcMapOffset + size_t(function)] : 0;
}

CcMap GlobalsRecord::cc_map() const
{
    CcMap m{};
    std::copy_n(bytes.begin() + kCcMapOffset, kCcFunctionCount, m.begin());
    return m;
}

GlobalSettings GlobalsRecord::global_settings() const
{
    GlobalSettings s;
    s.aux = {bytes[0], bytes[1], bytes[2]};
    s.favourite = favourite();
    s.pages_index = pages_index();
    s.pad_6db = pad_6db();
    s.tap_tempo = tap_tempo();
    s.blinking_off = blinking_off();
    return s;
}

MidiSettings GlobalsRecord::midi_settings() const
{
    MidiSettings s;
    s.channel_index = channel_index();
    s.cc = cc_map();
    return s;
}

void GlobalsRecord::apply(const GlobalSettings& s)
{
    for (size_t c = 0; c < kAuxContacts; ++c) bytes[c] = s.aux[c];
    bytes[3] = uint8_t((s.favourite & 0x1F) | ((s.pages_index & 0x03) << 5) | (s.pad_6db ? 0x80 : 0));
    bytes[4] = uint8_t((bytes[4] & 0x3F) | (s.blinking_off ? 0x40 : 0) | (s.tap_tempo ? 0x80 : 0));
}

void GlobalsRecord::apply(const MidiSettings& s)
{
    bytes[4] = uint8_t((bytes[4] & 0xF0) | (s.channel_index & 0x0F));
    std::copy(s.cc.begin(), s.cc.end(), bytes.begin() + kCcMapOffset);
}

GlobalsRecord migrated_aux_codes(const GlobalsRecord& read)
{
    GlobalsRecord r = read;
    for (size_t c = 0; c < kAuxContacts; ++c) r.bytes[c] = std::min<uint8_t>(uint8_t(read.bytes[c] + 2), 15);
    return r;
}

std::string_view aux_action_name(int code)
{
    if (code < 0 || code >= kAuxActionCount) return {};
    return kAuxActions[code].name;
}

std::string_view aux_hint(AuxContact contact, int code)
{
    if (code < 0 || code >= kAuxActionCount) return {};
    switch (kAuxActions[code].hint) {
    case kHoldRamp:
        if (contact == AuxContact::Tip) return "( Hold 0.5 sec : Ramp Y )";
        if (contact == AuxContact::Ring) return "( Hold 0.5 sec : Ramp X )";
        return {};
    case kMomentary: return "(Momentary action enabled)";
    case kInstantRamp: return "( Instant Ramping action )";
    case kResetArp: return "( Reset the Arp Cycle )";
    default: return {};
    }
}

std::string_view aux_contact_name(AuxContact contact)
{
    switch (contact) {
    case AuxContact::Tip: return "TIP";
    case AuxContact::TipRing: return "TIP + RING";
    case AuxContact::Ring: return "RING";
    }
    return {};
}

bool favourite_list_enabled(const std::array<uint8_t, kAuxContacts>& aux)
{
    return std::find(aux.begin(), aux.end(), kAuxFavorite) != aux.end();
}

std::string favourite_name(int index)
{
    if (index < 0 || index >= kFavouriteCount) return {};
    return std::to_string(index / 2 + 1) + (index % 2 == 0 ? "A" : "B");
}

std::string_view cc_function_name(int function) { return function_valid(function) ? kCcFunctions[function].name : ""; }

std::string_view cc_value_range(int function) { return function_valid(function) ? kCcFunctions[function].range : ""; }

bool cc_range_ends_in_k(int function) { return function_valid(function) && kCcFunctions[function].ends_in_k; }

int parse_cc_text(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long value = 0;
    // Only the size matters past two digits: stop counting once it is over 99.
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value <= kCcMax) value = value * 10 + (text[i] - '0');
    if (negative && value > 0) return 0;
    return int(std::min<long>(value, kCcMax));
}

bool cc_in_use_elsewhere(const CcMap& map, int function, int value)
{
    for (int k = 0; k < kCcFunctionCount; ++k)
        if (k != function && map[size_t(k)] == value) return true;
    return false;
}

std::vector<std::string> record_problems(const GlobalsRecord& r)
{
    std::vector<std::string> out;
    for (size_t c = 0; c < kAuxContacts; ++c) {
        const uint8_t code = r.bytes[c];
        // 255 is how the pedal and the panel say "no selection".
        if (code >= kAuxActionCount && code != kAuxNoSelection)
            out.push_back(std::string(aux_contact_name(AuxContact(c))) + ": AUX action code " + std::to_string(code) +
                          " is out of range (0 to 15, or 255 for none)");
    }
    for (int k = 0; k < kCcFunctionCount; ++k)
        if (r.cc(k) > kCcMax)
            out.push_back("CC number " + std::to_string(r.cc(k)) + " of " + std::string(cc_function_name(k)) +
                          " is above 99");
    for (int k = 0; k < kCcFunctionCount; ++k)
        for (int j = k + 1; j < kCcFunctionCount; ++j)
            if (r.cc(k) == r.cc(j))
                out.push_back("CC " + std::to_string(r.cc(k)) + " is used by both " + std::string(cc_function_name(k)) +
                              " and " + std::string(cc_function_name(j)));
    return out;
}

std::vector<std::string> describe(const GlobalsRecord& r)
{
    std::vector<std::string> out;
    for (size_t c = 0; c < kAuxContacts; ++c)
        out.push_back("AUX " + std::string(aux_contact_name(AuxContact(c))) + ": " + aux_value_text(r.bytes[c]));
    out.push_back("Fave Preset: " + favourite_name(r.favourite()));
    out.push_back("Preset Pages: " + std::to_string(r.pages_index() + 1));
    out.push_back(std::string("Input Pad: ") + (r.pad_6db() ? "-6 dB pad" : "0 dB (no pad)"));
    out.push_back("MIDI Channel: Channel " + std::to_string(r.channel_index() + 1));
    out.push_back(std::string("Footswitch B/X: ") + (r.tap_tempo() ? "Tap-Tempo" : "Preset"));
    out.push_back(std::string("Tempo LED: ") + (r.blinking_off() ? "Blinking Off" : "Blinking"));
    for (int k = 0; k < kCcFunctionCount; ++k)
        out.push_back("CC " + std::string(cc_function_name(k)) + ": " + std::to_string(r.cc(k)));
    return out;
}

} // namespace kv
