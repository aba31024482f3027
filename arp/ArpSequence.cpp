#include "arp/ArpSequence.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv {

namespace {

bool step_in_range(int step) { return step >= 0 && step < kArpSteps; }

// Level of step k on the editor's scale, kept at or below 100.
double shown_level(const ArpSequence& seq, int step) { return std::min(arp_shown_from_level(seq.level(step)), 100.0); }

bool off_whole_number(double shown) { return std::fabs(shown - std::round(shown)) > 0.4; }

int read_u16(const std::array<std::uint8_t, kArpSequenceSize>& b, int offset)
{
    return b[static_cast<std::size_t>(offset)] | (b[static_cast<std::size_t>(offset) + 1] << 8);
}

void write_u16(std::array<std::uint8_t, kArpSequenceSize>& b, int offset, int value)
{
    b[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value & 0xFF);
    b[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

} // namespace

int arp_selector(int sequence_number)
{
    // The selector is SP1 of every arp algorithm: its list position's code.
    return position_to_code(kFirstArpAlgorithm, 0, sequence_number);
}

int arp_level_from_shown(double shown)
{
    if (!(shown > 0.0)) return 0;  // also catches NaN
    double level = std::floor(shown * kArpLevelPerShown + 0.5);
    if (level >= kArpLevelMax) return kArpLevelMax;
    return static_cast<int>(level);
}

double arp_shown_from_level(int level) { return level / kArpLevelPerShown; }

double arp_snap_shown(double shown)
{
    // nearbyint rounds halfway cases to even under the default rounding mode.
    return std::nearbyint(shown / kArpGridStep) * kArpGridStep;
}

ArpSequence ArpSequence::from_bytes(const std::uint8_t* data, std::size_t size)
{
    ArpSequence s;
    if (data) std::memcpy(s.bytes.data(), data, std::min(size, kArpSequenceSize));
    return s;
}

int ArpSequence::level(int step) const { return step_in_range(step) ? read_u16(bytes, 4 * step) : 0; }

int ArpSequence::second(int step) const { return step_in_range(step) ? read_u16(bytes, 4 * step + 2) : 0; }

void ArpSequence::set_level(int step, int value, bool tremolo)
{
    if (!step_in_range(step)) return;
    int v = std::clamp(value, 0, kArpLevelMax);
    write_u16(bytes, 4 * step, v);
    write_u16(bytes, 4 * step + 2, tremolo ? 0 : v);
}

void ArpSequence::set_step_count(int n, bool tremolo)
{
    n = std::clamp(n, kArpMinSteps, kArpSteps);
    if (n < kArpSteps) {
        bytes[31] = static_cast<std::uint8_t>((kArpSteps - n) * 16);
    } else if (tremolo) {
        bytes[30] = 0;
        bytes[31] = 0;
    } else {
        bytes[30] = bytes[28];
        bytes[31] = bytes[29];
    }
}

std::optional<int> ArpSequence::step_count() const
{
    int m = bytes[31];
    if (m >= 0x50) return std::nullopt;
    return kArpSteps - (m >> 4);
}

void ArpSequence::reverse(int n, bool tremolo)
{
    n = std::clamp(n, kArpMinSteps, kArpSteps);
    ArpSequence old = *this;
    auto copy_step = [&](int to, int from) {
        std::memcpy(&bytes[static_cast<std::size_t>(4 * to)], &old.bytes[static_cast<std::size_t>(4 * from)], 4);
    };
    for (int i = 0; i < n / 2; ++i) {
        int j = n - 1 - i;
        copy_step(i, j);
        copy_step(j, i);
    }
    if (n == kArpSteps) {
        // The last step's second copy holds no marker with 8 steps, but the
        // step moving to the front takes a clean pair from its level anyway.
        int last = old.level(kArpSteps - 1);
        write_u16(bytes, 0, last);
        write_u16(bytes, 2, tremolo ? 0 : last);
    }
}

bool arp_uses_snap_grid(const ArpSequence& seq)
{
    for (int k = 0; k < kArpSteps; ++k)
        if (off_whole_number(shown_level(seq, k))) return true;
    return false;
}

ArpReading read_arp_sequence(const ArpSequence& seq, int current_steps)
{
    ArpReading r;
    for (int k = 0; k < kArpSteps; ++k) r.shown[static_cast<std::size_t>(k)] = shown_level(seq, k);
    r.step_count = seq.step_count().value_or(std::clamp(current_steps, kArpMinSteps, kArpSteps));
    r.snap_grid = std::any_of(r.shown.begin(), r.shown.end(), off_whole_number);
    return r;
}

ArpSequence make_arp_sequence(const std::array<double, kArpSteps>& shown, int steps, bool tremolo)
{
    ArpSequence s;
    for (int k = 0; k < kArpSteps; ++k) s.set_level(k, arp_level_from_shown(shown[static_cast<std::size_t>(k)]), tremolo);
    if (steps < kArpSteps) s.set_step_count(steps, tremolo);
    return s;
}

std::array<int, kArpGridLines> arpeggiator_grid_semitones(int scale)
{
    static constexpr std::array<std::array<int, kArpGridLines>, kArpScaleCount> kLines = {{
        {10, 7, 6, 5, 3, 3, 0},   // Blues Scale
        {10, 7, 5, 5, 3, 3, 0},   // Pentatonic
        {10, 8, 7, 5, 4, 1, 0},   // Phrygian
        {9, 8, 6, 4, 3, 1, 0},    // Altered Scale
        {11, 9, 7, 5, 4, 2, 0},   // Major
        {10, 8, 7, 5, 3, 2, 0},   // Natural Minor
        {11, 8, 7, 5, 3, 2, 0},   // Harmonic Minor
        {11, 9, 7, 5, 3, 2, 0},   // Melodic Minor
        {8, 7, 5, 5, 1, 1, 0},    // Japanese 1
        {10, 7, 5, 5, 1, 1, 0},   // Japanese 2
        {8, 7, 3, 3, 2, 2, 0},    // Japanese 3
        {8, 7, 5, 5, 2, 2, 0},    // Japanese 4
        {8, 7, 3, 3, 1, 1, 0},    // Balinese
        {11, 8, 7, 6, 3, 2, 0},   // Gypsy Minor
        {10, 9, 6, 5, 4, 1, 0},   // Oriental
        {8, 7, 5, 5, 1, 1, 0},    // Indian Asavari
    }};
    return kLines[static_cast<std::size_t>(std::clamp(scale, 0, kArpScaleCount - 1))];
}

} // namespace kv
