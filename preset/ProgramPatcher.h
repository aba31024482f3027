#pragma once
// Secondary-parameter patching of an engine's program image.
//
// Most secondary parameters (SP1 to SP3) select instruction words in the
// engine's 128-word program. For each (algorithm, parameter) there is either
// no entry (the parameter changes nothing in the image) or an entry: the list
// of word slots it controls and a block of patch words, one row per option
// code, one word per slot. Patching writes the row of the new code into the
// slots, most significant byte first; every other word is left alone, and the
// result never depends on the code that was there before.
//
// Twin algorithms share blocks: CHORUS and TRICHO their SP1 and SP2 blocks,
// PHASER and ENVPHI their SP2 and SP3 blocks. Where an option list skips
// code 1, the block still holds a row for code 1, equal to the row for code 2.
//
// The patcher is stateless; the parameter editor owns one.

#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kv {

// One (algorithm, parameter) entry of the patch map.
struct PatchEntry {
    static constexpr int kMaxSlots = 10;

    std::uint16_t first_word = 0;      // index in kPatchWords of the code-0 row
    std::uint8_t words_per_code = 0;   // number of slots; 0 means no entry
    std::uint8_t rows = 0;             // codes 0 to rows - 1 have a row
    std::uint8_t slots[kMaxSlots] = {};  // word indices 0 to 127, in row order

    constexpr bool present() const { return words_per_code != 0; }
    constexpr std::size_t block_words() const { return std::size_t(words_per_code) * rows; }
    constexpr std::span<const std::uint8_t> slot_list() const { return {slots, words_per_code}; }
};

class ProgramPatcher {
public:
    static constexpr int kAlgorithmCount = kv::kAlgorithmCount;
    static constexpr int kParameterCount = kSpCount;   // 0 = SP1, 1 = SP2, 2 = SP3

    // Each writes the row of `code` of the entry (algorithm, SPn) into the
    // image's slots; with no entry the image is left as it was.
    // Returns false, and leaves the image untouched, when the algorithm is not
    // 0 to 37 or the entry has no row for `code` (negative or too large);
    // true otherwise, including when the parameter has no entry.
    bool patch_sp1(int code, DspProgram& image, AlgorithmId algorithm) const { return patch(0, code, image, algorithm); }
    bool patch_sp2(int code, DspProgram& image, AlgorithmId algorithm) const { return patch(1, code, image, algorithm); }
    bool patch_sp3(int code, DspProgram& image, AlgorithmId algorithm) const { return patch(2, code, image, algorithm); }

    // The same for parameter 0 (SP1), 1 (SP2) or 2 (SP3); any other parameter
    // index is refused like an unknown algorithm.
    bool patch(int parameter, int code, DspProgram& image, AlgorithmId algorithm) const;

    // The map entry of (algorithm, parameter), or nullptr when there is none
    // or either index is out of range.
    static const PatchEntry* entry(int algorithm, int parameter);

    // The patch words of one row, in slot order; empty when there is no
    // entry or no row for `code`.
    static std::span<const std::uint32_t> row(int algorithm, int parameter, int code);
};

}  // namespace kv
