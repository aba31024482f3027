#include "app/Resources.h"

namespace kv {

std::string presets_folder() { return ensure_data_folder(home_drive()); }

std::string presets_list_path() { return presets_folder() + "presets.lst"; }

} // namespace kv
