#include "cli/PresetData.h"

#include "platform/DataPaths.h"
#include "preset/Catalogue.h"

#include <cstdio>
#include "platform/Platform.h"

namespace kv::cli {

std::string algorithm_shown(int code)
{
    return algorithm_valid(code) ? std::string(algorithm_code(code)) : "unknown (code " + std::to_string(code) + ")";
}

FileRead read_input(const std::string& path, size_t limit)
{
    if (path != "-") return read_file_limited(path, limit);
    FileRead r;
    std::vector<uint8_t> chunk(64 * 1024);
    for (;;) {
        const size_t n = std::fread(chunk.data(), 1, chunk.size(), stdin);
        r.bytes.insert(r.bytes.end(), chunk.begin(), chunk.begin() + long(n));
        if (r.bytes.size() > limit) {
            r.bytes.clear();
            r.error = FileError::TooLarge;
            return r;
        }
        if (n < chunk.size()) break;
    }
    if (std::ferror(stdin)) {
        r.bytes.clear();
        r.error = FileError::ReadFailed;
    }
    return r;
}

std::string presets_folder_path() { return kv::presets_folder_path(); }

std::optional<AlgorithmLibrary> algorithm_library(Session& s, const char* command)
{
    // DataPaths finds "bin" the way the window does (working directory,
    // beside the program, the installed data folder).
    const std::string path = data_path(AlgorithmLibrary::kFileName);
    AlgorithmLibrary library;
    if (!library.load(path)) {
        s.err(std::string("korvane ") + command + ": cannot read the algorithm library " + path +
              "; nothing was sent.");
        return std::nullopt;
    }
    return library;
}

} // namespace kv::cli
