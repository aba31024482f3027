// The user's folders on Windows: the shell's known folders. The XDG names
// of the shared header map to where Windows programs keep the same things
// (settings under the roaming AppData, state under the local AppData).

#include "platform/DataPaths.h"
#include "platform/KnownFolder_win32.h"
#include "platform/Platform.h"

namespace kv {

std::string xdg_config_home() { return win32::known_folder(FOLDERID_RoamingAppData).value_or(std::string()); }

std::string xdg_state_home() { return win32::known_folder(FOLDERID_LocalAppData).value_or(std::string()); }

std::string documents_folder()
{
    // Windows sets HOMEDRIVE to the bare drive ("C:") for every user; the
    // presets then go under Documents, as users expect. A folder given in
    // HOMEDRIVE (scripts, tests) is used as it is.
    if (auto d = get_env("HOMEDRIVE"); d && !d->empty()) {
        const bool bare_drive = d->size() == 2 && (*d)[1] == ':';
        if (!bare_drive) return win32::forward_slashes(*d);
    }
    return win32::known_folder(FOLDERID_Documents).value_or(std::string());
}

std::string desktop_folder()
{
    if (auto desk = win32::known_folder(FOLDERID_Desktop); desk && is_directory(*desk)) return *desk;
    return user_profile();
}

std::string user_profile() { return home_folder().value_or(std::string()); }

} // namespace kv
