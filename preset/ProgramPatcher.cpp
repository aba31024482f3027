#include "preset/ProgramPatcher.h"

#include "preset/PatchTable.h"

#include <array>
#include <initializer_list>

namespace kv {

namespace {

// How the map is written down: rows and slots of an entry, or "same block as
// this parameter of the twin algorithm", or nothing.
struct MapLine {
    int rows = 0;
    int count = 0;
    int slots[PatchEntry::kMaxSlots] = {};
    int twin = -1;
};

constexpr MapLine E(int rows, std::initializer_list<int> slots)
{
    MapLine m;
    m.rows = rows;
    for (int s : slots) m.slots[m.count++] = s;
    return m;
}
constexpr MapLine S(int twin)
{
    MapLine m;
    m.twin = twin;
    return m;
}
constexpr MapLine none() { return MapLine{}; }

using MapTable = std::array<std::array<MapLine, ProgramPatcher::kParameterCount>, ProgramPatcher::kAlgorithmCount>;

// Per algorithm: SP1, SP2, SP3 (word slots and number of rows).
constexpr MapTable kMap = {{
    {E(4, {6, 7, 11}), E(2, {51}), E(8, {23, 26, 42, 45})},  //  0 "TRMOLO"
    {E(4, {67, 68, 72}), E(2, {107}), E(2, {5, 52, 53, 54, 55, 56, 57, 58, 59})},  //  1 "HCTREM"
    {E(2, {14}), E(2, {102}), E(8, {73, 76, 93, 96})},  //  2 "CHOPPR"
    {E(4, {83, 84, 85, 86, 87, 88, 89, 90}), E(2, {120}), E(4, {26})},  //  3 "DCTREM"
    {E(4, {73, 100, 105, 107}), E(16, {72}), E(8, {40})},  //  4 "SLOVOL"
    {E(4, {23, 25}), E(4, {36, 37, 38, 39, 40}), E(16, {20})},  //  5 "FILTER"
    {E(2, {3, 24, 25, 26, 31, 32, 33}), E(4, {4, 35, 115, 116}), E(4, {50})},  //  6 "ENVFLT"
    {E(4, {41}), E(2, {11, 121}), E(4, {59})},  //  7 "s&hFLT"
    {E(8, {24, 38, 54, 56}), E(4, {57}), E(4, {78, 88, 98, 111})},  //  8 "FORMNT"
    {none(), E(4, {6, 13, 102, 103}), E(4, {9})},  //  9 "WAHWAH"
    {E(4, {30, 33, 35}), E(8, {44, 45}), none()},  // 10 "DIME.C"
    {E(8, {11, 12, 16}), E(8, {17, 20, 21, 24, 25}), none()},  // 11 "CHORUS"
    {S(11), S(11), none()},  // 12 "TRICHO"
    {E(4, {71, 76, 100, 105}), E(8, {68, 69, 97, 98}), E(8, {3})},  // 13 "DETUNE"
    {E(4, {17, 23, 25, 33, 51, 52}), E(16, {6, 26, 34, 50}), E(16, {72, 75})},  // 14 "FLANGE"
    {E(2, {16, 88, 96, 99, 106, 114, 117}), E(2, {27, 58, 73}), E(2, {26, 74, 83})},  // 15 "TAPEFL"
    {E(2, {75, 99}), E(2, {48}), E(8, {51, 96})},  // 16 "s&hFLA"
    {E(2, {18, 19, 20, 21, 22, 25}), E(4, {42, 102, 114}), E(8, {43})},  // 17 "PHASER"
    {E(2, {24}), S(17), S(17)},  // 18 "ENVPHI"
    {E(4, {36}), E(4, {47, 107, 117}), E(8, {48})},  // 19 "s&hPHI"
    {E(2, {110}), E(2, {109}), E(2, {51})},  // 20 "UNIVBE"
    {E(4, {50}), E(16, {65, 84}), E(16, {109, 119})},  // 21 "OCTAVE"
    {E(2, {66, 67}), E(2, {73, 79}), E(4, {60, 62, 64})},  // 22 "VBRATO"
    {E(8, {69}), E(8, {46, 64}), E(4, {93, 96, 98, 101, 104, 106})},  // 23 "RNGMOD"
    {E(8, {116}), E(8, {118}), E(4, {37, 49, 58, 64, 78, 90, 99, 105})},  // 24 "PARAEQ"
    {E(4, {9, 10, 11, 121}), none(), E(8, {125})},  // 25 "BITCRS"
    {E(8, {93, 122}), E(8, {57, 81, 82, 110, 111}), E(4, {36, 39, 41, 44, 48, 50})},  // 26 "JUNKIE"
    {E(8, {20, 23}), E(8, {4, 11}), E(8, {124})},  // 27 "RECORD"
    {E(4, {107, 115, 124}), E(4, {109, 112, 118, 121}), E(8, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18})},  // 28 "PHONOS"
    {E(4, {16, 18, 20}), E(4, {2, 67, 83}), E(2, {25, 32})},  // 29 "HORN"
    {E(4, {19, 21, 23, 25, 27}), E(4, {77, 82, 105}), E(2, {31})},  // 30 "DRUM"
    {none(), E(2, {62}), E(8, {33, 36, 53, 56})},  // 31 "ARP.TR"
    {none(), E(4, {10, 11}), E(8, {6, 106, 116})},  // 32 "ARP.FI"
    {none(), E(2, {27, 30, 40}), E(4, {55, 65, 75, 88, 96, 106, 119})},  // 33 "ARP.FO"
    {none(), E(4, {17, 65}), E(16, {20, 23})},  // 34 "ARP.FL"
    {none(), E(4, {31, 91, 103}), E(8, {32})},  // 35 "ARP.PH"
    {none(), E(4, {20}), E(4, {55, 60, 63, 68, 71, 76, 79, 84})},  // 36 "ARP.RM"
    {none(), E(16, {49, 51, 53, 55, 57, 59}), E(2, {28})},  // 37 "ARPGTR"
}};

using EntryTable = std::array<std::array<PatchEntry, ProgramPatcher::kParameterCount>, ProgramPatcher::kAlgorithmCount>;

struct Layout {
    EntryTable entries{};
    std::size_t total = 0;
    bool valid = true;
};

// Lays the blocks out in algorithm order, SP1 to SP3, a shared block only
// once (at its first owner).
constexpr Layout build_layout()
{
    Layout l;
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const MapLine& m = kMap[a][p];
            PatchEntry& e = l.entries[a][p];
            if (m.twin >= 0) {
                if (m.twin >= a || kMap[m.twin][p].twin >= 0 || kMap[m.twin][p].count == 0) l.valid = false;
                else e = l.entries[m.twin][p];
                continue;
            }
            if (m.count == 0) continue;
            if (m.count > PatchEntry::kMaxSlots || m.rows < 1 || m.rows > 255) l.valid = false;
            e.first_word = static_cast<std::uint16_t>(l.total);
            e.words_per_code = static_cast<std::uint8_t>(m.count);
            e.rows = static_cast<std::uint8_t>(m.rows);
            for (int k = 0; k < m.count; ++k) {
                if (m.slots[k] < 0 || m.slots[k] >= int(kDspProgramWords)) l.valid = false;
                // Slots of an entry rise strictly, so none is written twice.
                if (k > 0 && m.slots[k] <= m.slots[k - 1]) l.valid = false;
                e.slots[k] = static_cast<std::uint8_t>(m.slots[k]);
            }
            l.total += e.block_words();
        }
    }
    return l;
}

constexpr Layout kLayout = build_layout();
static_assert(kLayout.valid, "patch map: bad slot, row count or twin");
static_assert(kLayout.total == kPatchWordCount, "patch map and patch word table disagree in size");

// The words of row `code` of an entry; empty when the entry has no such row.
// Every block lies inside the table (the layout's total is its size).
std::span<const std::uint32_t> row_of(const PatchEntry& e, int code)
{
    if (code < 0 || code >= e.rows) return {};
    return {kPatchWords.data() + e.first_word + std::size_t(code) * e.words_per_code, e.words_per_code};
}

}  // namespace

const PatchEntry* ProgramPatcher::entry(int algorithm, int parameter)
{
    if (algorithm < 0 || algorithm >= kAlgorithmCount) return nullptr;
    if (parameter < 0 || parameter >= kParameterCount) return nullptr;
    const PatchEntry& e = kLayout.entries[algorithm][parameter];
    return e.present() ? &e : nullptr;
}

std::span<const std::uint32_t> ProgramPatcher::row(int algorithm, int parameter, int code)
{
    const PatchEntry* e = entry(algorithm, parameter);
    return e ? row_of(*e, code) : std::span<const std::uint32_t>{};
}

bool ProgramPatcher::patch(int parameter, int code, DspProgram& image, AlgorithmId algorithm) const
{
    if (algorithm >= kAlgorithmCount || parameter < 0 || parameter >= kParameterCount) return false;
    const PatchEntry* e = entry(algorithm, parameter);
    if (!e) return true;   // this parameter changes nothing in the program
    const std::span<const std::uint32_t> words = row_of(*e, code);
    if (words.empty()) return false;
    for (std::size_t k = 0; k < words.size(); ++k) image.set_word(e->slots[k], words[k]);
    return true;
}

}  // namespace kv
