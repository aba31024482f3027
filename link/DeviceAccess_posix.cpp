#include "link/DeviceAccess.h"

#include "link/DeviceList.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kv {

namespace {

namespace fs = std::filesystem;

int own_access_error(const std::string& node)
{
    return ::faccessat(AT_FDCWD, node.c_str(), R_OK | W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// The name of a group, or empty when the system does not know it.
std::string group_name(gid_t gid)
{
    long hint = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buf(hint > 0 ? size_t(hint) : 1024);
    for (;;) {
        struct group entry {};
        struct group* found = nullptr;
        const int rc = ::getgrgid_r(gid, &entry, buf.data(), buf.size(), &found);
        if (rc == ERANGE && buf.size() < (1u << 20)) {
            buf.resize(buf.size() * 2);
            continue;
        }
        if (rc != 0 || !found || !found->gr_name) return {};
        return found->gr_name;
    }
}

std::string hint_for(const std::string& node)
{
    std::string line = "  > The pedal is on " + node + " but you may not open it: ";
    struct stat st {};
    std::string group;
    if (::stat(node.c_str(), &st) == 0 && st.st_gid != 0) group = group_name(st.st_gid);
    if (!group.empty() && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP))
        return line + "add yourself to the '" + group + "' group (then log in again) or install the Korvane udev rule.";
    return line + "install the Korvane udev rule (60-korvane.rules), then plug the pedal in again.";
}

} // namespace

std::string pedal_access_hint(const DeviceAccessPlaces& places)
{
    std::error_code ec;
    for (const UsbTtyPort& port : list_usb_ttys(places.sys_class_tty)) {
        if (port.product != places.description) continue;
        const std::string& name = port.name;
        const std::string node = places.dev + "/" + name;
        if (!fs::exists(node, ec)) continue;
        const int error = places.access_error ? places.access_error(node) : own_access_error(node);
        if (error == EACCES || error == EPERM) return hint_for(node);
    }
    return {};
}

std::string pedal_access_hint() { return pedal_access_hint(DeviceAccessPlaces{}); }

} // namespace kv
