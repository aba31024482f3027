#include "preset/AlgorithmLibrary.h"

#include "platform/SafeFile.h"

#include <algorithm>
#include <cstring>

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

    // A FIFO, a device or an oversized file counts as a missing library.
    const FileRead file = read_file_limited(path, kDataFileLimit);
    if (!file || file.bytes.size() < kHeaderSize) return false;
    // The images lie in the file as they lie in memory: copy them in place.
    static_assert(sizeof(images_) == kImagesSize);
    const std::size_t available = std::min(file.bytes.size() - kHeaderSize, kImagesSize);
    std::memcpy(images_.data(), file.bytes.data() + kHeaderSize, available);
    images_read_ = int(available / kDspProgramSize);
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
