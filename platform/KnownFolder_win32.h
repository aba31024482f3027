#pragma once
// The user's known folders (Documents, Desktop, AppData) as the shell names
// them, for the *_win32.cpp back-ends only; paths with '/' between parts.

#include "platform/Utf16_win32.h"

#include <shlobj.h>

#include <optional>
#include <string>

namespace kv::win32 {

inline std::optional<std::string> known_folder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::optional<std::string> result;
    if (::SHGetKnownFolderPath(id, 0, nullptr, &path) == S_OK && path && path[0] != L'\0')
        result = forward_slashes(narrow(path));
    ::CoTaskMemFree(path);
    return result;
}

} // namespace kv::win32
