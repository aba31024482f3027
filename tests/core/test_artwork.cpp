// The pictures in img/ are loaded by name and laid out at fixed positions,
// so each file must exist, be a well-formed PNG and have the size that its
// name carries.  The header is read with plain file I/O: no toolkit needed.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

struct PngHeader {
    bool ok = false;
    std::string error;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bit_depth = 0;
    int colour_type = 0;
};

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

// Reads the signature and the IHDR chunk, which must come first.
PngHeader read_png_header(const std::string& path) {
    PngHeader h;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        h.error = "cannot open";
        return h;
    }
    std::array<unsigned char, 8 + 8 + 13> buf{};
    in.read(reinterpret_cast<char*>(buf.data()), std::streamsize(buf.size()));
    if (in.gcount() != std::streamsize(buf.size())) {
        h.error = "file too short";
        return h;
    }
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!std::equal(std::begin(signature), std::end(signature), buf.begin())) {
        h.error = "not a PNG signature";
        return h;
    }
    if (be32(&buf[8]) != 13 || std::string(buf.begin() + 12, buf.begin() + 16) != "IHDR") {
        h.error = "first chunk is not a 13-byte IHDR";
        return h;
    }
    h.width = be32(&buf[16]);
    h.height = be32(&buf[20]);
    h.bit_depth = buf[24];
    h.colour_type = buf[25];
    h.ok = true;
    return h;
}

struct Expected {
    const char* name;
    std::uint32_t width;
    std::uint32_t height;
};

// Every picture the program loads.  The maker logo's name carries no size.
const std::vector<Expected> kArtwork = {
    {"appLogo_(149x37).png", 149, 37},
    {"brakwellLogo.png", 130, 50},
    {"Infographic_[1044x541].png", 1044, 541},
    {"backdrop_[700x592].png", 700, 592},
    {"cat_rotary_[350x27].png", 350, 27},
    {"cat_vinyl_[350x27].png", 350, 27},
    {"cat_junkie_[350x27].png", 350, 27},
    {"tips_Button_[38x38].png", 38, 38},
    {"arrow_[50x51].png", 50, 51},
    {"arp_alert_[670x467].png", 670, 467},
    {"arp_save_[282x74].png", 282, 74},
    {"arp_random_[350x91].png", 350, 91},
    {"update_icon_(140x123).png", 140, 123},
};

std::string img_path(const std::string& name) { return std::string(KV_SOURCE_DIR) + "/img/" + name; }

TEST(Artwork, EveryPictureExistsWithTheSizeItsLayoutExpects) {
    for (const auto& e : kArtwork) {
        SCOPED_TRACE(e.name);
        const PngHeader h = read_png_header(img_path(e.name));
        ASSERT_TRUE(h.ok) << h.error;
        EXPECT_EQ(h.width, e.width);
        EXPECT_EQ(h.height, e.height);
        // 8-bit greyscale, RGB, grey+alpha or RGBA: what the toolkit's PNG reader takes without palettes
        EXPECT_EQ(h.bit_depth, 8);
        EXPECT_TRUE(h.colour_type == 0 || h.colour_type == 2 || h.colour_type == 4 || h.colour_type == 6)
            << "colour type " << h.colour_type;
    }
}

TEST(Artwork, SizeInTheFileNameAgreesWithTheTable) {
    // Guards the table above against typos: a name with "(WxH)" or "[WxH]"
    // must state the size listed for it.
    const std::regex size_in_name(R"([\(\[](\d+)x(\d+)[\)\]]\.png$)");
    for (const auto& e : kArtwork) {
        SCOPED_TRACE(e.name);
        std::cmatch m;
        if (!std::regex_search(e.name, m, size_in_name)) {
            EXPECT_STREQ(e.name, "brakwellLogo.png");
            continue;
        }
        EXPECT_EQ(std::stoul(m[1].str()), e.width);
        EXPECT_EQ(std::stoul(m[2].str()), e.height);
    }
}

TEST(Artwork, HeaderReaderRejectsWhatIsNotAPng) {
    EXPECT_FALSE(read_png_header(img_path("no_such_picture.png")).ok);
    // A text file from the repository is not a PNG.
    const PngHeader h = read_png_header(std::string(KV_SOURCE_DIR) + "/CMakeLists.txt");
    EXPECT_FALSE(h.ok);
    EXPECT_EQ(h.error, "not a PNG signature");
}

}  // namespace
