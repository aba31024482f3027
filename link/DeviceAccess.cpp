#include "link/DeviceAccess.h"

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

// A sysfs attribute holds one short line; anything longer is not a product name.
constexpr size_t kAttributeLimit = 256;

// The first line of a small regular file, or nothing when it is not one.
bool read_attribute(const fs::path& file, std::string& out)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string text;
    if (ok) {
        text.resize(kAttributeLimit + 1);
        size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) { ok = false; break; }
            if (n == 0) break;
            got += size_t(n);
        }
        text.resize(got);
        if (got > kAttributeLimit) ok = false;
    }
    ::close(fd);
    if (!ok) return false;
    const size_t end = text.find_first_of("\r\n");
    out = text.substr(0, end);
    return true;
}

// "ttyUSB12" -> 12; -1 for names that are not a ttyUSB port.
long port_number(const std::string& name)
{
    if (name.rfind("ttyUSB", 0) != 0) return -1;
    const std::string digits = name.substr(6);
    if (digits.empty() || digits.size() > 9) return -1;
    long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The product string of the USB device a tty entry hangs off: the tty's
// device is a USB interface, and the strings sit one or two levels above it.
bool product_of(const fs::path& tty_entry, std::string& product)
{
    std::error_code ec;
    fs::path dir = fs::canonical(tty_entry / "device", ec);
    if (ec) return false;
    for (int up = 0; up < 4 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path())
        if (read_attribute(dir / "product", product)) return true;
    return false;
}

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
    std::vector<std::pair<long, std::string>> ports;
    // Ports come and go while we look: a vanishing entry shortens the list.
    fs::directory_iterator it(places.sys_class_tty, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const long number = port_number(name); number >= 0) ports.emplace_back(number, name);
    }
    std::sort(ports.begin(), ports.end());

    for (const auto& [number, name] : ports) {
        (void)number;
        std::string product;
        if (!product_of(fs::path(places.sys_class_tty) / name, product) || product != places.description) continue;
        const std::string node = places.dev + "/" + name;
        if (!fs::exists(node, ec)) continue;
        const int error = places.access_error ? places.access_error(node) : own_access_error(node);
        if (error == EACCES || error == EPERM) return hint_for(node);
    }
    return {};
}

std::string pedal_access_hint() { return pedal_access_hint(DeviceAccessPlaces{}); }

} // namespace kv
