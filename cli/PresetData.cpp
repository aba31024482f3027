#include "cli/PresetData.h"

#include "platform/DataPaths.h"
#include "platform/Platform.h"

namespace kv::cli {

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
