#pragma once
// Loading one PNG picture of the artwork folder. The file is read through
// read_file_limited (platform/SafeFile.h) and decoded from memory, so the
// toolkit never opens the path itself: a FIFO or device planted in "img"
// cannot block the start, and a huge file is refused before it is read.
// A missing file gives no picture quietly, as the program always did; a
// refused one also says why on standard error.
//
// Header-only so that every panel module can load its artwork without linking
// the application module.

#include "platform/SafeFile.h"

#include <FL/Fl_PNG_Image.H>

#include <climits>
#include <cstdio>
#include <string>

namespace kv {

// The decoded picture, or null when the file is missing or refused. A file
// that is there but does not decode gives an image whose fail() is set.
inline Fl_PNG_Image* load_png_artwork(const std::string& path)
{
    static_assert(kArtworkFileLimit <= size_t(INT_MAX));
    const FileRead file = read_file_limited(path, kArtworkFileLimit);
    if (!file) {
        if (file.error != FileError::NotFound)
            std::fprintf(stderr, "korvane: %s\n", read_failure_message(path, file.error).c_str());
        return nullptr;
    }
    if (file.bytes.empty()) return nullptr;
    // No name: a named image would also be entered in the toolkit's shared
    // image cache, which the program does not use.
    return new Fl_PNG_Image(nullptr, file.bytes.data(), int(file.bytes.size()));
}

}  // namespace kv
