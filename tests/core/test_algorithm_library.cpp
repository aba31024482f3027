#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/ProgramPatcher.h"

#define KV_GENERATOR_NO_MAIN
#include "tools/gen_algorithm_library.cpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using kv::AlgorithmLibrary;
using kv::DspProgram;

namespace fs = std::filesystem;

class AlgorithmLibraryFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kv_alglib_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A file of `size` bytes; image i (if present) is filled with byte i + 1.
    std::string write_file(const char* name, std::size_t size)
    {
        std::vector<char> bytes(size, char(0xEE));
        for (std::size_t at = AlgorithmLibrary::kHeaderSize; at < size; ++at)
            bytes[at] = char((at - AlgorithmLibrary::kHeaderSize) / kv::kDspProgramSize + 1);
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }

    static bool blank(const DspProgram& p)
    {
        return std::all_of(std::begin(p.bytes), std::end(p.bytes), [](std::uint8_t b) { return b == 0; });
    }
    static bool filled_with(const DspProgram& p, int value)
    {
        return std::all_of(std::begin(p.bytes), std::end(p.bytes), [&](std::uint8_t b) { return b == value; });
    }

    fs::path dir_;
};

TEST_F(AlgorithmLibraryFile, MissingFileOrFolderLeavesBlankUnusableLibrary)
{
    AlgorithmLibrary library;
    EXPECT_FALSE(library.usable());   // nothing read yet
    EXPECT_FALSE(library.load((dir_ / "error_log.fvc").string()));
    EXPECT_FALSE(library.usable());
    EXPECT_EQ(library.images_read(), 0);
    for (int a = 0; a < AlgorithmLibrary::kImageCount; ++a) EXPECT_TRUE(blank(library.image(a)));

    EXPECT_FALSE(library.load(dir_.string()));   // a folder, not a file
    EXPECT_FALSE(library.usable());
    EXPECT_FALSE(AlgorithmLibrary("").usable());
}

TEST_F(AlgorithmLibraryFile, ShortFilesAreUnusableAndKeepOnlyCompleteImages)
{
    for (std::size_t size : {std::size_t(0), std::size_t(100), AlgorithmLibrary::kHeaderSize}) {
        AlgorithmLibrary library(write_file("short.fvc", size));
        EXPECT_FALSE(library.usable()) << size;
        EXPECT_EQ(library.images_read(), 0) << size;
        EXPECT_TRUE(blank(library.image(0))) << size;
    }

    // One byte short of the last image.
    AlgorithmLibrary library(write_file("short.fvc", AlgorithmLibrary::kFileSize - 1));
    EXPECT_FALSE(library.usable());
    EXPECT_EQ(library.images_read(), 37);
    EXPECT_TRUE(filled_with(library.image(0), 1));
    EXPECT_TRUE(filled_with(library.image(36), 37));
    EXPECT_TRUE(blank(library.image(37)));

    // Half an image past the header.
    library.load(write_file("short.fvc", AlgorithmLibrary::kHeaderSize + 256));
    EXPECT_FALSE(library.usable());
    EXPECT_EQ(library.images_read(), 0);
    EXPECT_TRUE(blank(library.image(0)));
}

TEST_F(AlgorithmLibraryFile, FullFileSkipsHeaderAndIgnoresTrailingBytes)
{
    AlgorithmLibrary library;
    ASSERT_TRUE(library.load(write_file("full.fvc", AlgorithmLibrary::kFileSize)));
    EXPECT_TRUE(library.usable());
    EXPECT_EQ(library.images_read(), 38);
    for (int a = 0; a < AlgorithmLibrary::kImageCount; ++a) EXPECT_TRUE(filled_with(library.image(a), a + 1)) << a;

    EXPECT_TRUE(AlgorithmLibrary(write_file("long.fvc", AlgorithmLibrary::kFileSize + 700)).usable());

    // A later failed load does not keep stale images or a stale flag.
    EXPECT_FALSE(library.load((dir_ / "gone.fvc").string()));
    EXPECT_TRUE(blank(library.image(5)));
}

TEST_F(AlgorithmLibraryFile, IdsOutsideTheCatalogueGetABlankImage)
{
    AlgorithmLibrary library(write_file("full.fvc", AlgorithmLibrary::kFileSize));
    ASSERT_TRUE(library.usable());
    for (int bad : {-1, 38, 255, 1 << 20}) EXPECT_TRUE(blank(library.image(bad))) << bad;
}

TEST(AlgorithmLibraryBundled, BundledFileIsCompleteAndWhatTheGeneratorWrites)
{
    EXPECT_EQ(AlgorithmLibrary::file_path(), "bin/error_log.fvc");
    const std::string path = std::string(KV_SOURCE_DIR) + "/" + AlgorithmLibrary::file_path();
    ASSERT_EQ(fs::file_size(path), 19628u);

    AlgorithmLibrary library;
    ASSERT_TRUE(library.load(path));
    EXPECT_TRUE(library.usable());

    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::uint8_t> generated = kv::library_gen::build_algorithm_library();
    ASSERT_EQ(bytes.size(), generated.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), generated.data(), generated.size()))
        << "bin/error_log.fvc is stale: run build/tools/gen_algorithm_library bin/error_log.fvc";
}

TEST(AlgorithmLibraryBundled, FreshImagesAlreadyPlayTheDefaultOptions)
{
    AlgorithmLibrary library(std::string(KV_SOURCE_DIR) + "/" + AlgorithmLibrary::file_path());
    ASSERT_TRUE(library.usable());
    const kv::ProgramPatcher patcher;
    for (int a = 0; a < AlgorithmLibrary::kImageCount; ++a) {
        const DspProgram& image = library.image(a);
        std::set<std::uint32_t> distinct;
        for (std::size_t i = 0; i < kv::kDspProgramWords; ++i) distinct.insert(image.word(i));
        EXPECT_GT(distinct.size(), 40u) << "image " << a << " does not look like a program";

        // An algorithm change shows each list at its default position; a
        // preset loaded with that shown option patches the code it stands
        // for. Both must play the same words, lists counting from 1
        // (RNGMOD and JUNKIE SP2) included.
        DspProgram loaded = image;
        const auto defaults = kv::default_options(a);
        for (int p = 0; p < kv::ProgramPatcher::kParameterCount; ++p) {
            const int shown = defaults[std::size_t(p)];
            const int code = kv::position_to_code(a, p, shown);
            ASSERT_EQ(kv::code_to_position(a, p, code), shown) << "algorithm " << a << " SP" << p + 1;
            EXPECT_TRUE(patcher.patch(p, std::uint8_t(code), loaded, kv::AlgorithmId(a)));
        }
        EXPECT_EQ(0, std::memcmp(loaded.bytes, image.bytes, kv::kDspProgramSize)) << "image " << a;
    }
    int counting_from_one = 0;
    for (int a = 0; a < AlgorithmLibrary::kImageCount; ++a)
        for (int p = 0; p < kv::kSpCount; ++p)
            if (kv::position_to_code(a, p, 0) > 0) ++counting_from_one;
    EXPECT_EQ(counting_from_one, 2);
    // DCTREM (DSP-X at start-up) holds its SP1 default row ("Sine") at slots 83 to 90.
    const auto row = kv::ProgramPatcher::row(3, 0, kv::default_option(3, 0));
    for (std::size_t k = 0; k < row.size(); ++k) EXPECT_EQ(library.image(3).word(83 + k), row[k]);
}

}  // namespace
