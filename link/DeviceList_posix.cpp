#include "link/DeviceList.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>

#include <dirent.h>
#include <signal.h>

namespace kv {

bool process_alive(long pid)
{
    if (pid <= 0) return true;
    if (pid > long(INT_MAX)) return false;
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

namespace {

namespace fs = std::filesystem;

// The first line of a small sysfs attribute, empty when there is none.
std::string first_line(const fs::path& file)
{
    const FileRead r = read_file_limited(file.string(), kSmallTextFileLimit);
    if (!r) return {};
    const auto lines = split_lines(r.text());
    return lines.empty() ? std::string() : std::string(lines.front());
}

// "ttyUSB12" -> 12; -1 for names that are not a ttyUSB port.
long usb_port_number(const std::string& name)
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

}  // namespace

std::vector<UsbTtyPort> list_usb_ttys(const std::string& sys_class_tty)
{
    std::error_code ec;
    std::vector<std::pair<long, std::string>> names;
    // Every exchange lists the ports again, so the names are read plainly (a
    // directory iterator costs several times as much on a folder of some
    // seventy terminals). An entry that vanishes while we look is not seen.
    if (DIR* dir = ::opendir(sys_class_tty.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (const long number = usb_port_number(name); number >= 0) names.emplace_back(number, name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());

    std::vector<UsbTtyPort> out;
    for (const auto& [number, name] : names) {
        (void)number;
        fs::path dir = fs::canonical(fs::path(sys_class_tty) / name / "device", ec);
        if (ec) continue;
        for (int up = 0; up < 4 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
            std::string product = first_line(dir / "product");
            if (product.empty()) continue;
            out.push_back({name, std::move(product), first_line(dir / "serial")});
            break;
        }
    }
    return out;
}

}  // namespace kv
