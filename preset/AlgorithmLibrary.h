#pragma once
// The algorithm library: the program image of each of the 38 algorithms, read
// once from "bin/error_log.fvc". Whenever an engine changes algorithm its
// working program becomes a fresh copy of that algorithm's image, which
// already matches the algorithm's default options; the secondary parameters
// then patch the copy (preset/ProgramPatcher.h). The same images are what a
// library update writes into the pedal's blocks 0 to 37.
//
// File layout: a 172-byte header that is skipped unread, then 38 images of
// 512 bytes in AlgorithmId order (19628 bytes in all), each image in the byte
// order in which it is sent to the pedal. Bytes after the last image are
// ignored.

#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"

#include <array>
#include <cstddef>
#include <string>

namespace kv {

class AlgorithmLibrary {
public:
    static constexpr int kImageCount = kAlgorithmCount;
    static constexpr std::size_t kHeaderSize = 172;
    static constexpr std::size_t kImagesSize = kImageCount * kDspProgramSize;   // 19456
    static constexpr std::size_t kFileSize = kHeaderSize + kImagesSize;         // 19628
    static constexpr const char* kFileName = "error_log.fvc";
    static constexpr const char* kDataFolder = "bin";

    // "<folder>/error_log.fvc"; the program reads it from "bin".
    static std::string file_path(const std::string& folder = kDataFolder);

    // Nothing read yet: not usable, every image blank.
    AlgorithmLibrary() = default;
    // Reads `path` at once (see load).
    explicit AlgorithmLibrary(const std::string& path) { load(path); }

    // Reads the library file (through read_file_limited: a FIFO, a device or a
    // file over 1 MiB counts as missing). The library is usable when the file opens and at
    // least 19456 bytes follow its header. Otherwise it is marked unusable and
    // nothing is reported: the images read in full are kept and every other
    // image is blank (all zero words). Returns usable().
    bool load(const std::string& path);

    // Every image came from the file. Callers that would send the images to
    // the pedal's library must not do so when this is false.
    bool usable() const { return usable_; }
    // Images read in full from the file (38 when usable).
    int images_read() const { return images_read_; }

    // The image of an algorithm; any id outside 0 to 37 gets a blank image.
    const DspProgram& image(int algorithm) const;

private:
    std::array<DspProgram, kImageCount> images_{};
    int images_read_ = 0;
    bool usable_ = false;
};

}  // namespace kv
