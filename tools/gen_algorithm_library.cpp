// gen_algorithm_library: writes bin/error_log.fvc, the algorithm library the
// editor reads its 38 program images from (preset/AlgorithmLibrary.h).
//
//     gen_algorithm_library [output]          write the file (default bin/error_log.fvc)
//     gen_algorithm_library --check [file]    exit 1 when the file differs from what would be written
//
// Layout: a 172-byte header, then 38 images of 128 words, most significant
// byte first. The header (which the editor skips) holds the tag "TSVALGLB", a
// format number, the image count, the image size in bytes and in words, the
// size of the images, and each image's checksum (the sum of its words), all
// big-endian.
//
// Each image is a program for the engine: it reads the inputs, runs a body of
// instructions (a signed S1.14 coefficient in bits 31-16, an operand in bits
// 15-5, the opcode in bits 4-0), writes both outputs and is padded with
// no-operation words up to 128. The words the secondary parameters control
// hold the rows of the codes of the algorithm's default options, so a fresh
// copy of an image plays the defaults as the option lists show them. Everything is derived from the algorithm id and
// the word index: every run writes the same file.

#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "tools/DspWord.h"
#include "tools/GeneratorOutput.h"
#include "preset/ProgramPatcher.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace kv::library_gen {

inline constexpr char kTag[8] = {'T', 'S', 'V', 'A', 'L', 'G', 'L', 'B'};
inline constexpr std::uint16_t kFormat = 1;

inline constexpr std::uint32_t kNop = 0x00000011;            // skip nothing
inline constexpr std::uint32_t kReadInputLeft = 0x40000284;  // acc = 1.0 x input left
inline constexpr std::uint32_t kReadInputRight = 0x400002A4; // acc = 1.0 x input right
inline constexpr std::uint32_t kWriteOutputLeft = 0x400002C6;  // output left = acc, keep acc
inline constexpr std::uint32_t kWriteOutputRight = 0x000002E6; // output right = acc, clear acc

inline std::uint32_t mix(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// One body word: mostly delay and register moves with a coefficient, some
// scale-and-offset, a few conditional skips.
inline std::uint32_t body_word(int algorithm, int index)
{
    const std::uint32_t h = mix(std::uint32_t(algorithm + 1) * 0x9E3779B9u + std::uint32_t(index) * 0x632BE5ABu);
    const int coefficient = int((h >> 16) & 0x7FFFu) - 0x4000;   // -1.0 .. +1.0
    switch (h % 8) {
    case 0:
    case 1: return dsp_instruction(coefficient, (h >> 4) & 0x7FFu, 0x00);   // read delay, multiply, add
    case 2: return dsp_instruction(coefficient, (h >> 4) & 0x7FFu, 0x02);   // write delay
    case 3: return dsp_instruction(coefficient, 0x20 + ((h >> 4) & 0x1Fu), 0x04);   // read register
    case 4: return dsp_instruction(coefficient, 0x20 + ((h >> 4) & 0x1Fu), 0x06);   // write register
    case 5: return dsp_instruction(coefficient, (h >> 4) & 0x3Fu, 0x0D);   // scale and offset
    case 6: return dsp_instruction(coefficient / 2, 0x20 + ((h >> 4) & 0x1Fu), 0x09);   // multiply by register
    default: return dsp_instruction(int((h >> 20) & 0x0FFFu) << 4, (h >> 4) & 0x07u, 0x11);   // conditional skip
    }
}

// The last word any secondary parameter of the algorithm controls (-1: none).
inline int last_patched_slot(int algorithm)
{
    int last = -1;
    for (int p = 0; p < ProgramPatcher::kParameterCount; ++p)
        if (const PatchEntry* e = ProgramPatcher::entry(algorithm, p))
            for (std::uint8_t s : e->slot_list()) last = std::max(last, int(s));
    return last;
}

inline DspProgram build_image(int algorithm)
{
    DspProgram image{};
    const int words = int(kDspProgramWords);
    // Program length: room for every patched word and the output writes,
    // the rest no-operations.
    const int wanted = 96 + int(mix(std::uint32_t(algorithm) * 0x2545F491u) % 29u);
    const int length = std::min(words, std::max(wanted, last_patched_slot(algorithm) + 4));
    image.set_word(0, kReadInputLeft);
    image.set_word(1, kReadInputRight);
    for (int i = 2; i < length - 2; ++i) image.set_word(i, body_word(algorithm, i));
    image.set_word(length - 2, kWriteOutputLeft);
    image.set_word(length - 1, kWriteOutputRight);
    for (int i = length; i < words; ++i) image.set_word(i, kNop);

    // The default is a list position: the image plays the code that position
    // stands for (a list counting from 1 shows code 1 at position 0), the
    // same words a preset loaded with that option gets.
    const ProgramPatcher patcher;
    const std::array<std::uint8_t, 3> defaults = default_options(algorithm);
    for (int p = 0; p < ProgramPatcher::kParameterCount; ++p)
        patcher.patch(p, position_to_code(algorithm, p, defaults[p]), image, AlgorithmId(algorithm));
    return image;
}

inline void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = std::uint8_t(v >> 8);
    out[at + 1] = std::uint8_t(v);
}

inline void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    put16(out, at, std::uint16_t(v >> 16));
    put16(out, at + 2, std::uint16_t(v));
}

// The whole file.
inline std::vector<std::uint8_t> build_algorithm_library()
{
    std::vector<std::uint8_t> out(AlgorithmLibrary::kFileSize, 0);
    std::copy(std::begin(kTag), std::end(kTag), out.begin());
    put16(out, 8, kFormat);
    put16(out, 10, AlgorithmLibrary::kImageCount);
    put16(out, 12, std::uint16_t(kDspProgramSize));
    put16(out, 14, std::uint16_t(kDspProgramWords));
    put32(out, 16, std::uint32_t(AlgorithmLibrary::kImagesSize));
    static_assert(20 + 4 * AlgorithmLibrary::kImageCount == AlgorithmLibrary::kHeaderSize);
    for (int a = 0; a < AlgorithmLibrary::kImageCount; ++a) {
        const DspProgram image = build_image(a);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < kDspProgramWords; ++i) sum += image.word(i);
        put32(out, 20 + 4 * std::size_t(a), sum);
        std::copy(std::begin(image.bytes), std::end(image.bytes),
                  out.begin() + std::ptrdiff_t(AlgorithmLibrary::kHeaderSize + std::size_t(a) * kDspProgramSize));
    }
    return out;
}

}  // namespace kv::library_gen

#ifndef KV_GENERATOR_NO_MAIN
int main(int argc, char** argv)
{
    const kv::gen::Arguments args = kv::gen::parse_arguments(argc, argv, kv::AlgorithmLibrary::file_path());
    const std::vector<std::uint8_t> bytes = kv::library_gen::build_algorithm_library();
    if (!kv::gen::check_or_write(args, kv::gen::bytes_view(bytes))) return 1;
    if (!args.check) std::printf("%s: %zu bytes\n", args.path.c_str(), bytes.size());
    return 0;
}
#endif
