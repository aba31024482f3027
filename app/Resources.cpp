#include "app/Resources.h"

namespace kv {

std::string presets_folder() { return presets_folder_path(); }

std::string chooser_folder(const std::string& presets_folder)
{
    if (is_directory(presets_folder)) return presets_folder;
    if (const std::string documents = documents_folder(); is_directory(documents)) return documents + "/";
    const std::string home = home_folder().value_or(std::string());
    return home.empty() ? home : home + "/";
}

} // namespace kv
