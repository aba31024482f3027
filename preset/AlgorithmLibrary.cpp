#include "preset/AlgorithmLibrary.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace kv {

std::string AlgorithmLibrary::file_path(const std::string& folder)
{
    return folder + "/" + kFileName;
}

bool AlgorithmLibrary::load(const std::string& path)
{
    images_ = {};
    images_read_ = 0;
    usable_ = true;

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        usable_ = false;
        return false;
    }
    std::vector<char> header(kHeaderSize);
    in.read(header.data(), std::streamsize(header.size()));
    if (std::size_t(in.gcount()) != kHeaderSize) {
        usable_ = false;
        return false;
    }
    std::vector<char> body(kImagesSize);
    in.read(body.data(), std::streamsize(body.size()));
    const std::size_t got = in.gcount() > 0 ? std::size_t(in.gcount()) : 0;

    images_read_ = int(got / kDspProgramSize);
    for (int i = 0; i < images_read_; ++i)
        std::memcpy(images_[i].bytes, body.data() + std::size_t(i) * kDspProgramSize, kDspProgramSize);
    if (got < kImagesSize) usable_ = false;
    return usable_;
}

const DspProgram& AlgorithmLibrary::image(int algorithm) const
{
    static const DspProgram blank{};
    if (algorithm < 0 || algorithm >= kImageCount) return blank;
    return images_[algorithm];
}

}  // namespace kv
