// Writes the pedal's display data, bin/dispdata.bin, which the library update
// sends in 512-byte blocks from block 38 on. The program never looks inside
// it; the pedal's display reads it. The file is a whole number of 512-byte
// blocks (zero-padded) and at most 24 blocks.
//
// usage: gen_dispdata [output path]   (default bin/dispdata.bin)
//
// Layout (multi-byte values little-endian, texts NUL-padded):
//   0   4  "TDSP"
//   4   1  format version (1)
//   5   1  glyph width (5)
//   6   1  glyph height (7)
//   7   1  first character (0x20)
//   8   1  glyph count (95, characters 0x20..0x7E)
//   9   1  algorithm count (38)
//  10   1  algorithm code field width (8)
//  11   1  algorithm name field width (20)
//  12   2  font offset
//  14   2  algorithm code table offset
//  16   2  algorithm name table offset
//  18   2  scale name table offset
//  20   1  scale count (16)
//  21   1  scale name field width (16)
//  22   2  splash offset
//  24   1  splash width (128)
//  25   1  splash height (32)
//  26   6  zero
//  32      font: per glyph 5 column bytes, left to right, bit 0 the top row
//          algorithm codes, 38 x 8 bytes, in AlgorithmId order
//          algorithm names, 38 x 20 bytes, in AlgorithmId order
//          Arpeggiator scale names, 16 x 16 bytes
//          start-up splash, 128 x 32 pixels in four 128-byte pages of
//          8-pixel columns (bit 0 the top pixel of the page)

#include "preset/Catalogue.h"
#include "tools/GeneratorOutput.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kMaxBlocks = 24;
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kFirstChar = 0x20;
constexpr int kCodeField = 8;
constexpr int kNameField = 20;
constexpr int kScaleField = 16;
constexpr int kSplashWidth = 128;
constexpr int kSplashHeight = 32;

struct Glyph {
    char ch;
    std::array<const char*, kGlyphHeight> rows;
};

// 5 x 7 font for the printable ASCII characters, drawn row by row.
const Glyph kFont[] = {
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'"', {".#.#.", ".#.#.", ".#.#.", ".....", ".....", ".....", "....."}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
    {'$', {"..#..", ".####", "#.#..", ".###.", "..#.#", "####.", "..#.."}},
    {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
    {'&', {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}},
    {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
    {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
    {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
    {'*', {".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", "....."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {';', {".....", ".##..", ".##..", ".....", ".##..", "..#..", ".#..."}},
    {'<', {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
    {'>', {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'@', {".###.", "#...#", "....#", ".##.#", "#.#.#", "#.#.#", ".###."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'[', {".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###."}},
    {'\\', {".....", "#....", ".#...", "..#..", "...#.", "....#", "....."}},
    {']', {".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###."}},
    {'^', {"..#..", ".#.#.", "#...#", ".....", ".....", ".....", "....."}},
    {'_', {".....", ".....", ".....", ".....", ".....", ".....", "#####"}},
    {'`', {".#...", "..#..", "...#.", ".....", ".....", ".....", "....."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'b', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####."}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#...#", ".###."}},
    {'d', {"....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}},
    {'g', {".....", ".####", "#...#", "#...#", ".####", "....#", ".###."}},
    {'h', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'j', {"...#.", ".....", "..##.", "...#.", "...#.", "#..#.", ".##.."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#...#", "#...#"}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'p', {".....", ".....", "####.", "#...#", "####.", "#....", "#...."}},
    {'q', {".....", ".....", ".##.#", "#..##", ".####", "....#", "....#"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'s', {".....", ".....", ".###.", "#....", ".###.", "....#", "####."}},
    {'t', {".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
    {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
    {'y', {".....", ".....", "#...#", "#...#", ".####", "....#", ".###."}},
    {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}},
    {'{', {"...#.", "..#..", "..#..", ".#...", "..#..", "..#..", "...#."}},
    {'|', {"..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'}', {".#...", "..#..", "..#..", "...#.", "..#..", "..#..", ".#..."}},
    {'~', {".....", ".....", ".#...", "#.#.#", "...#.", ".....", "....."}},
};
constexpr int kGlyphCount = static_cast<int>(sizeof(kFont) / sizeof(kFont[0]));

const Glyph* glyph_for(char c)
{
    int i = static_cast<unsigned char>(c) - kFirstChar;
    if (i < 0 || i >= kGlyphCount) i = '?' - kFirstChar;
    return &kFont[i];
}

bool pixel(const Glyph& g, int x, int y) { return g.rows[static_cast<std::size_t>(y)][x] == '#'; }

// Checks the drawing: every glyph in its place, every row five pixels.
bool font_is_sound()
{
    if (kGlyphCount != 0x7F - kFirstChar) return false;
    for (int i = 0; i < kGlyphCount; ++i) {
        if (kFont[i].ch != static_cast<char>(kFirstChar + i)) {
            std::fprintf(stderr, "gen_dispdata: glyph %d is '%c'\n", i, kFont[i].ch);
            return false;
        }
        for (const char* row : kFont[i].rows) {
            if (std::strlen(row) != kGlyphWidth || std::strspn(row, ".#") != kGlyphWidth) {
                std::fprintf(stderr, "gen_dispdata: glyph '%c' has a bad row \"%s\"\n", kFont[i].ch, row);
                return false;
            }
        }
    }
    return true;
}

void put_u16(std::vector<std::uint8_t>& out, std::size_t at, std::size_t value)
{
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void put_text(std::vector<std::uint8_t>& out, const char* text, int field)
{
    std::size_t n = std::min(std::strlen(text), static_cast<std::size_t>(field - 1));
    for (int i = 0; i < field; ++i)
        out.push_back(static_cast<std::size_t>(i) < n ? static_cast<std::uint8_t>(text[i]) : 0);
}

struct Splash {
    std::array<std::array<bool, kSplashWidth>, kSplashHeight> px{};

    void set(int x, int y)
    {
        if (x >= 0 && x < kSplashWidth && y >= 0 && y < kSplashHeight)
            px[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = true;
    }
    // Text centred on the width, each font pixel drawn scale x scale.
    void text(const char* s, int top, int scale)
    {
        int advance = (kGlyphWidth + 1) * scale;
        int width = static_cast<int>(std::strlen(s)) * advance - scale;
        int x0 = (kSplashWidth - width) / 2;
        for (int i = 0; s[i]; ++i) {
            const Glyph& g = *glyph_for(s[i]);
            for (int y = 0; y < kGlyphHeight; ++y)
                for (int x = 0; x < kGlyphWidth; ++x)
                    if (pixel(g, x, y))
                        for (int dy = 0; dy < scale; ++dy)
                            for (int dx = 0; dx < scale; ++dx)
                                set(x0 + i * advance + x * scale + dx, top + y * scale + dy);
        }
    }
    void rule(int y, int from, int to)
    {
        for (int x = from; x < to; ++x) set(x, y);
    }
    void append_pages(std::vector<std::uint8_t>& out) const
    {
        for (int page = 0; page < kSplashHeight / 8; ++page)
            for (int x = 0; x < kSplashWidth; ++x) {
                std::uint8_t b = 0;
                for (int bit = 0; bit < 8; ++bit)
                    if (px[static_cast<std::size_t>(page * 8 + bit)][static_cast<std::size_t>(x)])
                        b = static_cast<std::uint8_t>(b | (1u << bit));
                out.push_back(b);
            }
    }
};

} // namespace

int main(int argc, char** argv)
{
    std::string path = argc > 1 ? argv[1] : "bin/dispdata.bin";
    if (!font_is_sound()) return 1;

    std::vector<std::uint8_t> out(32, 0);
    std::memcpy(out.data(), "TDSP", 4);
    out[4] = 1;
    out[5] = kGlyphWidth;
    out[6] = kGlyphHeight;
    out[7] = kFirstChar;
    out[8] = static_cast<std::uint8_t>(kGlyphCount);
    out[9] = kv::kAlgorithmCount;
    out[10] = kCodeField;
    out[11] = kNameField;

    put_u16(out, 12, out.size());
    for (int i = 0; i < kGlyphCount; ++i)
        for (int x = 0; x < kGlyphWidth; ++x) {
            std::uint8_t column = 0;
            for (int y = 0; y < kGlyphHeight; ++y)
                if (pixel(kFont[i], x, y)) column = static_cast<std::uint8_t>(column | (1u << y));
            out.push_back(column);
        }

    put_u16(out, 14, out.size());
    for (int id = 0; id < kv::kAlgorithmCount; ++id) put_text(out, kv::algorithm_code(id), kCodeField);

    put_u16(out, 16, out.size());
    for (int id = 0; id < kv::kAlgorithmCount; ++id) put_text(out, kv::algorithm_info(id).menu_entry, kNameField);

    const auto& scales = kv::algorithm_info(kv::kAlgorithmArpeggiator).sp[1].options;
    put_u16(out, 18, out.size());
    out[20] = static_cast<std::uint8_t>(scales.size());
    out[21] = kScaleField;
    for (const char* name : scales) put_text(out, name, kScaleField);

    Splash splash;
    splash.text("TESSIVAR", 1, 2);
    splash.rule(18, 17, 111);
    splash.text("BRAKWELL", 22, 1);
    put_u16(out, 22, out.size());
    out[24] = kSplashWidth;
    out[25] = kSplashHeight;
    splash.append_pages(out);

    std::size_t blocks = (out.size() + kBlockSize - 1) / kBlockSize;
    if (blocks > kMaxBlocks) {
        std::fprintf(stderr, "gen_dispdata: %zu blocks do not fit in %zu\n", blocks, kMaxBlocks);
        return 1;
    }
    std::size_t content = out.size();
    out.resize(blocks * kBlockSize, 0);

    if (!kv::gen::write_output("gen_dispdata", path, kv::gen::bytes_view(out))) return 1;
    std::printf("wrote %s (%zu bytes of data, %zu blocks, %zu bytes)\n", path.c_str(), content, blocks, out.size());
    return 0;
}
