#pragma once
// The patch words of every secondary-parameter entry, one block per entry,
// one row per option code, one word per slot (see preset/ProgramPatcher.h for
// the map that says where each block starts).
//
// PatchTable.cpp is written by tools/gen_patch_table and committed; rebuild
// it with
//     build/tools/gen_patch_table preset/PatchTable.cpp
// from the source tree whenever the map or the word formula changes.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv {

// Words in the table: the sum of words-per-code x rows over all entries, with
// the blocks that twin algorithms share counted once.
constexpr std::size_t kPatchWordCount = 1526;

extern const std::array<std::uint32_t, kPatchWordCount> kPatchWords;

}  // namespace kv
