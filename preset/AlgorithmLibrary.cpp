#include "preset/AlgorithmLibrary.h"

#include <fstream>

namespace kv {

std::string AlgorithmLibrary::file_path(const std::string& folder)
{
    return folder + "/" + kFileName;
}

bool AlgorithmLibrary::load(const std::string& path)
{
    images_ = {};
    images_read_ = 0;
    usable_ = false;

    std::ifstream in(path, std::ios::binary);
    in.ignore(std::streamsize(kHeaderSize));
    if (std::size_t(in.gcount()) != kHeaderSize) return false;
    // The images lie in the file as they lie in memory: read them in place.
    static_assert(sizeof(images_) == kImagesSize);
    in.read(reinterpret_cast<char*>(images_.data()), std::streamsize(kImagesSize));
    images_read_ = int(std::size_t(in.gcount()) / kDspProgramSize);
    // An image the file ends inside stays blank.
    if (images_read_ < kImageCount) images_[std::size_t(images_read_)] = {};
    usable_ = images_read_ == kImageCount;
    return usable_;
}

const DspProgram& AlgorithmLibrary::image(int algorithm) const
{
    static const DspProgram blank{};
    if (algorithm < 0 || algorithm >= kImageCount) return blank;
    return images_[algorithm];
}

}  // namespace kv
