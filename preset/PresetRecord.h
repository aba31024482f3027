#pragma once
// The preset as the pedal keeps it, byte for byte: the 35-byte parameter
// block, the 12-byte title, the two together (the 47 bytes a preset read
// returns and an offline file holds), one engine's 512-byte program image, and
// the 1504-byte image of all 32 presets that ReadAll delivers.
//
// Every struct here is made of single bytes only, so it has no padding, is
// trivially copyable and can be memcpy'd to and from the wire and files.
// Multi-byte values inside the parameter block are little-endian; program
// words are most significant byte first.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace kv {

// Index of an algorithm in the catalogue, 0 to 37 (see preset/Catalogue.h).
using AlgorithmId = uint8_t;

constexpr size_t kPresetParametersSize = 35;
constexpr size_t kPresetTitleSize = 12;
constexpr size_t kPresetRecordSize = kPresetParametersSize + kPresetTitleSize;   // 47
constexpr size_t kDspProgramWords = 128;
constexpr size_t kDspProgramSize = kDspProgramWords * 4;                       // 512
constexpr int kSlotCount = 32;
constexpr size_t kPresetImageTitlesOffset = kSlotCount * kPresetParametersSize;  // 1120
constexpr size_t kPresetImageSize = kPresetImageTitlesOffset + kSlotCount * kPresetTitleSize;  // 1504

// The two effect engines. DSP-X comes first in records and takes the low bits
// of bytes shared by both engines.
enum class Engine : uint8_t { X = 0, Y = 1 };
constexpr Engine other(Engine e) { return e == Engine::X ? Engine::Y : Engine::X; }
constexpr int index_of(Engine e) { return static_cast<int>(e); }

// The three knobs of an engine.
enum class Knob : uint8_t { Speed = 0, Depth = 1, Tweak = 2 };
constexpr int index_of(Knob k) { return static_cast<int>(k); }

// Routing of the two engines (bits 2-3 of flags).
enum class Routing : uint8_t { Cascade = 0, Mixture = 1, LrSplit = 2 };

// Bit masks of the shared bytes.
namespace bits {
// flags (byte 0)
constexpr uint8_t kEngagedX = 0x01;
constexpr uint8_t kEngagedY = 0x02;
constexpr uint8_t kRoutingMask = 0x0C;   // 0x00 Cascade, 0x04 Mixture, 0x08 LR-split
constexpr uint8_t kFlagsBit4 = 0x10;     // not ours: always copied unchanged
constexpr uint8_t kBypassOnPc = 0x20;
constexpr uint8_t kAutoStomp = 0x40;
constexpr uint8_t kPost = 0x80;
// tap (byte 1)
constexpr uint8_t kTapDivideXMask = 0x07;
constexpr uint8_t kTapOnX = 0x08;
constexpr uint8_t kTapDivideYMask = 0x70;
constexpr uint8_t kTapOnY = 0x80;
// focus (byte 2)
constexpr uint8_t kFocusY = 0x01;
constexpr uint8_t kFocusBit1 = 0x02;     // cleared by every speed edit, never set by us
// rotor (byte 3)
constexpr uint8_t kRotorFastX = 0x01;
constexpr uint8_t kRotorFastY = 0x10;
constexpr uint8_t kRotorFastBoth = 0x11;
// speed fields: 11 significant bits of 16
constexpr uint16_t kSpeedMask = 0x07FF;
}  // namespace bits

// Tap-divide list positions (bits 0-2 / 4-6 of tap).
constexpr uint8_t kTapDisabled = 0;
constexpr uint8_t kTapDivide1to1 = 3;
constexpr int kTapDivideCount = 8;

// Master volume codes: level in dB = 6 - code.
constexpr uint8_t kVolumeZeroDb = 6;
constexpr uint8_t kVolumeMinCode = 3;
constexpr uint8_t kVolumeMaxCode = 9;

// The 35-byte parameter block.
struct PresetParameters {
    uint8_t flags;             // 0
    uint8_t tap;               // 1
    uint8_t focus;             // 2
    uint8_t rotor;             // 3
    uint8_t volume;            // 4
    uint8_t speed_x[2];        // 5-6, little-endian, 11 bits used
    uint8_t depth_x;           // 7
    uint8_t tweak_x;           // 8
    uint8_t speed_y[2];        // 9-10
    uint8_t depth_y;           // 11
    uint8_t tweak_y;           // 12
    uint8_t sp1_x;             // 13
    uint8_t sp2_x;             // 14
    uint8_t sp3_x;             // 15
    uint8_t sp1_y;             // 16
    uint8_t sp2_y;             // 17
    uint8_t sp3_y;             // 18
    uint8_t expression_x[6];   // 19-24: SPEED heel/toe, DEPTH heel/toe, TWEAK heel/toe
    uint8_t expression_y[6];   // 25-30
    uint8_t reserved[2];       // 31-32, carried unchanged
    uint8_t algorithm_x;       // 33
    uint8_t algorithm_y;       // 34

    // --- flags ---
    bool engaged_x() const { return flags & bits::kEngagedX; }
    bool engaged_y() const { return flags & bits::kEngagedY; }
    bool engaged(Engine e) const { return flags & engaged_bit(e); }
    void set_engaged_x(bool on) { set_bit(flags, bits::kEngagedX, on); }
    void set_engaged_y(bool on) { set_bit(flags, bits::kEngagedY, on); }
    void set_engaged(Engine e, bool on) { set_bit(flags, engaged_bit(e), on); }
    // Routing as 0 Cascade, 1 Mixture, 2 LR-split (3 is possible in a foreign block).
    uint8_t routing() const { return (flags & bits::kRoutingMask) >> 2; }
    void set_routing(uint8_t r) { flags = uint8_t((flags & ~bits::kRoutingMask) | ((r & 0x03) << 2)); }
    void set_routing(Routing r) { set_routing(static_cast<uint8_t>(r)); }
    // Routing as its bit pattern inside flags (0x00, 0x04, 0x08).
    uint8_t routing_bits() const { return flags & bits::kRoutingMask; }
    void set_routing_bits(uint8_t b) { flags = uint8_t((flags & ~bits::kRoutingMask) | (b & bits::kRoutingMask)); }
    bool flags_bit4() const { return flags & bits::kFlagsBit4; }
    bool bypass_on_pc() const { return flags & bits::kBypassOnPc; }
    void set_bypass_on_pc(bool on) { set_bit(flags, bits::kBypassOnPc, on); }
    bool auto_stomp() const { return flags & bits::kAutoStomp; }
    void set_auto_stomp(bool on) { set_bit(flags, bits::kAutoStomp, on); }
    bool post() const { return flags & bits::kPost; }
    void set_post(bool on) { set_bit(flags, bits::kPost, on); }

    // --- tap ---
    uint8_t tap_divide_x() const { return tap & bits::kTapDivideXMask; }
    uint8_t tap_divide_y() const { return (tap & bits::kTapDivideYMask) >> 4; }
    uint8_t tap_divide(Engine e) const { return e == Engine::X ? tap_divide_x() : tap_divide_y(); }
    void set_tap_divide_x(uint8_t d) { tap = uint8_t((tap & ~bits::kTapDivideXMask) | (d & 0x07)); }
    void set_tap_divide_y(uint8_t d) { tap = uint8_t((tap & ~bits::kTapDivideYMask) | ((d & 0x07) << 4)); }
    void set_tap_divide(Engine e, uint8_t d) { e == Engine::X ? set_tap_divide_x(d) : set_tap_divide_y(d); }
    bool tap_on_x() const { return tap & bits::kTapOnX; }
    bool tap_on_y() const { return tap & bits::kTapOnY; }
    bool tap_on(Engine e) const { return tap & tap_on_bit(e); }
    void set_tap_on_x(bool on) { set_bit(tap, bits::kTapOnX, on); }
    void set_tap_on_y(bool on) { set_bit(tap, bits::kTapOnY, on); }
    void set_tap_on(Engine e, bool on) { set_bit(tap, tap_on_bit(e), on); }

    // --- focus ---
    bool focus_y() const { return focus & bits::kFocusY; }
    void set_focus_y(bool on) { set_bit(focus, bits::kFocusY, on); }
    // The engine the last edit concerned.
    void set_focus(Engine e) { set_focus_y(e == Engine::Y); }
    bool focus_bit1() const { return focus & bits::kFocusBit1; }
    void clear_focus_bit1() { focus = uint8_t(focus & ~bits::kFocusBit1); }
    // Knob handed to the expression pedal or ramp: DSP-X SPEED/DEPTH/TWEAK on
    // bits 4/3/2, DSP-Y on bits 7/6/5.
    static constexpr uint8_t expression_bit(Engine e, Knob k)
    {
        return uint8_t(1u << ((e == Engine::X ? 4 : 7) - index_of(k)));
    }
    bool expression_assigned(Engine e, Knob k) const { return focus & expression_bit(e, k); }
    void set_expression_assigned(Engine e, Knob k, bool on) { set_bit(focus, expression_bit(e, k), on); }

    // --- rotor ---
    bool rotor_fast_x() const { return rotor & bits::kRotorFastX; }
    bool rotor_fast_y() const { return rotor & bits::kRotorFastY; }
    bool rotor_fast(Engine e) const { return rotor & rotor_fast_bit(e); }
    void set_rotor_fast_x(bool on) { set_bit(rotor, bits::kRotorFastX, on); }
    void set_rotor_fast_y(bool on) { set_bit(rotor, bits::kRotorFastY, on); }
    void set_rotor_fast(Engine e, bool on) { set_bit(rotor, rotor_fast_bit(e), on); }
    void toggle_rotor_fast_both() { rotor ^= bits::kRotorFastBoth; }
    // Ramp speed of a knob (1 fast, 0 slow): DSP-X SPEED/DEPTH/TWEAK on bits
    // 3/2/1, DSP-Y on bits 7/6/5.
    static constexpr uint8_t ramp_fast_bit(Engine e, Knob k)
    {
        return uint8_t(1u << ((e == Engine::X ? 3 : 7) - index_of(k)));
    }
    bool ramp_fast(Engine e, Knob k) const { return rotor & ramp_fast_bit(e, k); }
    void set_ramp_fast(Engine e, Knob k, bool on) { set_bit(rotor, ramp_fast_bit(e, k), on); }

    // --- knobs ---
    // The 11-bit speed (bits 11-15 of the field are ignored).
    uint16_t speed_x_raw() const { return speed_of(speed_x); }
    uint16_t speed_y_raw() const { return speed_of(speed_y); }
    uint16_t speed(Engine e) const { return speed_of(speed_bytes(e)); }
    // Writes the low 11 bits; bits 11-15 of the field become 0.
    void set_speed_x(uint16_t raw) { store_speed(speed_x, raw); }
    void set_speed_y(uint16_t raw) { store_speed(speed_y, raw); }
    void set_speed(Engine e, uint16_t raw) { store_speed(speed_bytes(e), raw); }
    // The whole 16-bit field, upper bits included.
    uint16_t speed_field(Engine e) const { return field_of(speed_bytes(e)); }
    uint8_t depth(Engine e) const { return e == Engine::X ? depth_x : depth_y; }
    uint8_t tweak(Engine e) const { return e == Engine::X ? tweak_x : tweak_y; }
    void set_depth(Engine e, uint8_t raw) { (e == Engine::X ? depth_x : depth_y) = raw; }
    void set_tweak(Engine e, uint8_t raw) { (e == Engine::X ? tweak_x : tweak_y) = raw; }

    // --- secondary parameters: index 0 = SP1, 1 = SP2, 2 = SP3; any other
    // index reads 0 and writes nothing ---
    uint8_t sp(Engine e, int index) const { return sp_index_valid(index) ? sp_bytes(e)[index] : 0; }
    void set_sp(Engine e, int index, uint8_t code)
    {
        if (sp_index_valid(index)) sp_bytes(e)[index] = code;
    }

    // --- expression levels: 0 SPEED heel, 1 SPEED toe, 2 DEPTH heel, 3 DEPTH toe, 4 TWEAK heel, 5 TWEAK toe ---
    uint8_t* expression(Engine e) { return e == Engine::X ? expression_x : expression_y; }
    const uint8_t* expression(Engine e) const { return e == Engine::X ? expression_x : expression_y; }

    // --- algorithms (raw bytes; may be out of range in a foreign block) ---
    AlgorithmId algorithm(Engine e) const { return e == Engine::X ? algorithm_x : algorithm_y; }
    void set_algorithm(Engine e, AlgorithmId id) { (e == Engine::X ? algorithm_x : algorithm_y) = id; }

    // Raw byte view.
    uint8_t* data() { return reinterpret_cast<uint8_t*>(this); }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this); }

private:
    static void set_bit(uint8_t& byte, uint8_t mask, bool on) { byte = uint8_t(on ? (byte | mask) : (byte & ~mask)); }
    static constexpr uint8_t engaged_bit(Engine e) { return e == Engine::X ? bits::kEngagedX : bits::kEngagedY; }
    static constexpr uint8_t tap_on_bit(Engine e) { return e == Engine::X ? bits::kTapOnX : bits::kTapOnY; }
    static constexpr uint8_t rotor_fast_bit(Engine e) { return e == Engine::X ? bits::kRotorFastX : bits::kRotorFastY; }
    static uint16_t field_of(const uint8_t* f) { return uint16_t(f[0] | (f[1] << 8)); }
    static uint16_t speed_of(const uint8_t* f) { return uint16_t(field_of(f) & bits::kSpeedMask); }
    uint8_t* speed_bytes(Engine e) { return e == Engine::X ? speed_x : speed_y; }
    const uint8_t* speed_bytes(Engine e) const { return e == Engine::X ? speed_x : speed_y; }
    static void store_speed(uint8_t* f, uint16_t raw)
    {
        raw &= bits::kSpeedMask;
        f[0] = uint8_t(raw & 0xFF);
        f[1] = uint8_t(raw >> 8);
    }
    static constexpr bool sp_index_valid(int index) { return index >= 0 && index < 3; }
    static constexpr size_t sp_offset(Engine e) { return e == Engine::X ? 13 : 16; }
    uint8_t* sp_bytes(Engine e) { return data() + sp_offset(e); }
    const uint8_t* sp_bytes(Engine e) const { return data() + sp_offset(e); }
};

// Twelve bytes of single-byte text, space-padded, no terminator.
struct PresetTitle {
    char text[kPresetTitleSize];
};

// A title from text: at most 12 characters, padded with spaces.
PresetTitle make_title(std::string_view text);
// The title's text without its trailing blanks (spaces and NULs).
std::string title_text(const PresetTitle& title);

// Parameters then title: the 47 bytes of a preset read and of an offline file.
struct PresetRecord {
    PresetParameters parameters;
    PresetTitle title;

    uint8_t* data() { return reinterpret_cast<uint8_t*>(this); }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this); }
};

// One engine's program: 128 words of 32 bits, most significant byte first.
struct DspProgram {
    uint8_t bytes[kDspProgramSize];

    // Word i (0 to 127); an index outside the program reads 0.
    uint32_t word(size_t i) const
    {
        if (i >= kDspProgramWords) return 0;
        const uint8_t* p = bytes + 4 * i;
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    }
    // Writes word i; an index outside the program is ignored.
    void set_word(size_t i, uint32_t w)
    {
        if (i >= kDspProgramWords) return;
        uint8_t* p = bytes + 4 * i;
        p[0] = uint8_t(w >> 24);
        p[1] = uint8_t(w >> 16);
        p[2] = uint8_t(w >> 8);
        p[3] = uint8_t(w);
    }
    uint8_t* data() { return bytes; }
    const uint8_t* data() const { return bytes; }
};

static_assert(sizeof(PresetParameters) == kPresetParametersSize);
static_assert(sizeof(PresetTitle) == kPresetTitleSize);
static_assert(sizeof(PresetRecord) == kPresetRecordSize);
static_assert(sizeof(DspProgram) == kDspProgramSize);
static_assert(std::is_trivially_copyable_v<PresetParameters>);
static_assert(std::is_trivially_copyable_v<PresetTitle>);
static_assert(std::is_trivially_copyable_v<PresetRecord>);
static_assert(std::is_trivially_copyable_v<DspProgram>);
static_assert(std::is_standard_layout_v<PresetParameters>);
static_assert(offsetof(PresetParameters, speed_x) == 5);
static_assert(offsetof(PresetParameters, speed_y) == 9);
static_assert(offsetof(PresetParameters, sp1_x) == 13);
static_assert(offsetof(PresetParameters, expression_x) == 19);
static_assert(offsetof(PresetParameters, expression_y) == 25);
static_assert(offsetof(PresetParameters, reserved) == 31);
static_assert(offsetof(PresetParameters, algorithm_x) == 33);
static_assert(offsetof(PresetParameters, algorithm_y) == 34);
static_assert(offsetof(PresetRecord, title) == kPresetParametersSize);

// Block from bytes and back (exactly kPresetParametersSize bytes).
PresetParameters parameters_from_bytes(const uint8_t* bytes);
PresetRecord record_from_bytes(const uint8_t* bytes);   // kPresetRecordSize bytes

// The block the editor starts with: both engines engaged, Cascade, Pre, tap
// divides 1:1 with DSP-X's tap on, 0 dB, DSP-X "DCTREM" and DSP-Y "DIME.C",
// every knob in the middle of its scale and every secondary parameter on its
// algorithm's default.
PresetParameters default_parameters();

// --- slots ---
// Slot 0 to 31 (= MIDI program number): bank 1 to 16, patch 'A' (even) or
// 'B' (odd), page 1 to 4.
constexpr bool slot_valid(int slot) { return slot >= 0 && slot < kSlotCount; }
constexpr int slot_bank(int slot) { return slot / 2 + 1; }
constexpr char slot_patch(int slot) { return (slot % 2) == 0 ? 'A' : 'B'; }
constexpr int slot_page(int slot) { return slot / 8 + 1; }

// --- the 1504-byte image of all presets: 32 blocks, then 32 titles ---
constexpr size_t slot_parameters_offset(int slot) { return size_t(slot) * kPresetParametersSize; }
constexpr size_t slot_title_offset(int slot) { return kPresetImageTitlesOffset + size_t(slot) * kPresetTitleSize; }

// Reads and writes of slot s inside an image of kPresetImageSize bytes. A slot
// outside 0 to 31 reads as all zero bytes and is never written (the writers
// then return false).
PresetParameters image_parameters(const uint8_t* image, int slot);
PresetTitle image_title(const uint8_t* image, int slot);
PresetRecord image_record(const uint8_t* image, int slot);
bool set_image_parameters(uint8_t* image, int slot, const PresetParameters& p);
bool set_image_title(uint8_t* image, int slot, const PresetTitle& t);
bool set_image_record(uint8_t* image, int slot, const PresetRecord& r);

}  // namespace kv
