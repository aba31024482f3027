// gen_patch_table: writes preset/PatchTable.cpp, the patch words of every
// secondary-parameter entry of the patch map (preset/ProgramPatcher.h).
//
//     gen_patch_table [output]          write the table (default preset/PatchTable.cpp)
//     gen_patch_table --check [file]    exit 1 when the file differs from what would be written
//
// The words are engine instructions: a signed S1.14 coefficient in bits 31-16,
// an operand (register or delay address) in bits 15-5 and the opcode in bits
// 4-0. A row keeps each slot's instruction and sets its coefficient for the
// option, spread evenly over the option range; the rows we know from the
// pedal's own programs are kept exactly as they are. Everything is derived
// from the algorithm, parameter and slot, so every run writes the same table.

#include "preset/Catalogue.h"
#include "tools/DspWord.h"
#include "tools/GeneratorOutput.h"
#include "preset/PatchTable.h"
#include "preset/ProgramPatcher.h"

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace kv::patch_table_gen {

// Rows taken over unchanged: (algorithm, parameter) and every row, code 0 first.
struct KnownRows {
    int algorithm;
    int parameter;
    std::vector<std::vector<std::uint32_t>> rows;
};

inline const std::vector<KnownRows>& known_rows()
{
    static const std::vector<KnownRows> rows = {
        {0, 0, {{0xCCCD07C7, 0x333307E4, 0x10400011},
                {0xCE1507C7, 0x31EB07E4, 0x10400011},
                {0xCE1507C7, 0x31EB07E4, 0x10400011},
                {0xCCCD07C7, 0x333307E4, 0x00000011}}},
        {20, 0, {{0x20000284}, {0x5999000D}}},
        {24, 0, {{0xC0000567}, {0xD0000567}, {0xE0000567}, {0xF0000567},
                 {0x00000567}, {0x13330567}, {0x26660567}, {0x39990567}}},
    };
    return rows;
}

// An option list that never produces code 1 still has a code-1 row: it
// repeats the code-2 row, so a stray code 1 plays the second option.
inline bool skips_code_1(int algorithm, int parameter)
{
    return code_rule(algorithm, parameter) == CodeRule::SkipCode1;
}

inline std::uint32_t mix(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return x;
}

// Opcodes that carry a coefficient: delay reads and writes take an 11-bit
// delay address, the others a register number.
inline constexpr unsigned kCoefficientOps[] = {0x00, 0x02, 0x03, 0x04, 0x05, 0x06, 0x08, 0x09, 0x0A, 0x0D};

inline std::uint32_t formula_word(int algorithm, int parameter, int slot, int code, int rows)
{
    const std::uint32_t h = mix(std::uint32_t(algorithm) * 0x9E3779B1u ^ std::uint32_t(parameter + 1) * 0x7F4A7C15u ^
                                std::uint32_t(slot) * 0x165667B1u);
    const unsigned opcode = kCoefficientOps[h % (sizeof kCoefficientOps / sizeof kCoefficientOps[0])];
    const bool delay_op = opcode <= 0x03;
    const unsigned operand = delay_op ? ((h >> 8) & 0x7FFu) : ((h >> 8) & 0x3Fu);
    // Coefficient range of the slot: from -0.5 .. +0.19 up to 0.38 .. 0.81 higher.
    const int low = -0x2000 + int((h >> 22) & 7u) * 0x0400;
    const int span = 0x1800 + int((h >> 25) & 7u) * 0x0400;
    const int step = rows > 1 ? span * code / (rows - 1) : 0;
    const int coefficient = (h & 1u) ? low + span - step : low + step;
    return dsp_instruction(coefficient, operand, opcode);
}

// The whole table, laid out as the patch map says.
inline std::vector<std::uint32_t> generate_patch_words()
{
    std::vector<std::uint32_t> words(kPatchWordCount, 0);
    std::vector<bool> written(kPatchWordCount, false);
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const PatchEntry* e = ProgramPatcher::entry(a, p);
            if (!e || e->first_word + e->block_words() > words.size()) continue;
            if (written[e->first_word]) continue;   // a twin's block, already filled
            const std::size_t n = e->words_per_code;
            auto at = [&](int code, std::size_t k) -> std::uint32_t& { return words[e->first_word + code * n + k]; };
            for (int c = 0; c < e->rows; ++c)
                for (std::size_t k = 0; k < n; ++k) at(c, k) = formula_word(a, p, e->slots[k], c, e->rows);
            if (skips_code_1(a, p) && e->rows > 2)
                for (std::size_t k = 0; k < n; ++k) at(1, k) = at(2, k);
            for (const KnownRows& known : known_rows()) {
                if (known.algorithm != a || known.parameter != p) continue;
                for (std::size_t c = 0; c < known.rows.size() && int(c) < e->rows; ++c)
                    for (std::size_t k = 0; k < n && k < known.rows[c].size(); ++k) at(int(c), k) = known.rows[c][k];
            }
            for (std::size_t i = 0; i < e->block_words(); ++i) written[e->first_word + i] = true;
        }
    }
    return words;
}

inline std::string hex_word(std::uint32_t w)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", w);
    return text;
}

// The text of preset/PatchTable.cpp.
inline std::string render_patch_table(const std::vector<std::uint32_t>& words)
{
    std::ostringstream out;
    out << "// Generated by tools/gen_patch_table.cpp: do not edit by hand.\n"
           "//\n"
           "// Patch words of the secondary-parameter entries: blocks in algorithm\n"
           "// order, SP1 to SP3, a shared block once; one line per row, code 0 first.\n"
           "\n"
           "#include \"preset/PatchTable.h\"\n"
           "\n"
           "namespace kv {\n"
           "\n"
           "const std::array<std::uint32_t, kPatchWordCount> kPatchWords = {{\n";
    std::vector<bool> written(words.size(), false);
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const PatchEntry* e = ProgramPatcher::entry(a, p);
            if (!e || e->first_word + e->block_words() > words.size() || written[e->first_word]) continue;
            out << "    // " << a << ' ' << algorithm_code(a) << " SP" << p + 1;
            for (int t = a + 1; t < ProgramPatcher::kAlgorithmCount; ++t) {
                const PatchEntry* twin = ProgramPatcher::entry(t, p);
                if (twin && twin->first_word == e->first_word) out << " (also " << t << ' ' << algorithm_code(t) << ')';
            }
            out << ": slots";
            for (std::size_t k = 0; k < e->words_per_code; ++k) out << (k ? ", " : " ") << int(e->slots[k]);
            out << ", " << int(e->rows) << " rows\n";
            for (int c = 0; c < e->rows; ++c) {
                out << "   ";
                for (std::size_t k = 0; k < e->words_per_code; ++k)
                    out << ' ' << hex_word(words[e->first_word + c * e->words_per_code + k]) << ',';
                out << '\n';
            }
            for (std::size_t i = 0; i < e->block_words(); ++i) written[e->first_word + i] = true;
        }
    }
    out << "}};\n"
           "\n"
           "}  // namespace kv\n";
    return out.str();
}

}  // namespace kv::patch_table_gen

#ifndef KV_GENERATOR_NO_MAIN
int main(int argc, char** argv)
{
    using namespace kv::patch_table_gen;
    const kv::gen::Arguments args = kv::gen::parse_arguments(argc, argv, "preset/PatchTable.cpp");
    if (!kv::gen::check_or_write(args, render_patch_table(generate_patch_words()))) return 1;
    if (!args.check) std::printf("%s: %zu words\n", args.path.c_str(), kv::kPatchWordCount);
    return 0;
}
#endif
