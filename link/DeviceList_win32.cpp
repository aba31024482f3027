#include "link/DeviceList.h"

#include "platform/Utf16_win32.h"

#include <climits>

namespace kv {

bool process_alive(long pid)
{
    if (pid <= 0) return true;
    if (pid > long(UINT_MAX)) return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) {
        // Another user's process (or one this user may not look at) still
        // counts as alive; only "no such process" means it has ended.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

// Windows has no sysfs: its ports are listed through SetupAPI
// (SerialDriver_win32.cpp).
std::vector<UsbTtyPort> list_usb_ttys(const std::string&) { return {}; }

}   // namespace kv
