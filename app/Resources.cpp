#include "app/Resources.h"

namespace kv {

std::string presets_folder() { return ensure_data_folder(home_drive()); }

} // namespace kv
