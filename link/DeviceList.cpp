#include "link/DeviceList.h"

#include <algorithm>

#include <cerrno>
#include <climits>

// Parsing and filtering the devices file; whether a process still runs and
// the system's own ports are in DeviceList_posix.cpp and DeviceList_win32.cpp.

namespace kv {

namespace {

bool printable(std::string_view s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7f) return false;
    return true;
}

std::optional<long> parse_pid(std::string_view s)
{
    if (s.empty() || s.size() > 9) return std::nullopt;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v <= 0) return std::nullopt;
    return v;
}

}  // namespace

std::optional<DeviceLine> parse_device_line(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t pos = 0;
    for (;;) {
        const size_t tab = line.find('\t', pos);
        fields.push_back(line.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
        if (tab == std::string_view::npos) break;
        pos = tab + 1;
    }
    if (fields.size() < 2 || fields.size() > 4) return std::nullopt;
    DeviceLine d;
    const std::string_view path = fields[0];
    const std::string_view description = fields[1];
    const std::string_view serial = fields.size() > 2 ? fields[2] : std::string_view{};
    if (path.empty() || path.front() != '/' || path.size() > kMaxPortPathLength) return std::nullopt;
    if (description.size() > kMaxDescriptionLength || serial.size() > kMaxSerialNumberLength) return std::nullopt;
    if (!printable(path) || !printable(description) || !printable(serial)) return std::nullopt;
    if (fields.size() == 4) {
        const auto pid = parse_pid(fields[3]);
        if (!pid) return std::nullopt;
        d.pid = *pid;
    }
    d.path = std::string(path);
    d.description = std::string(description);
    d.serial_number = std::string(serial);
    return d;
}


DeviceListRead read_device_list(const std::string& file)
{
    DeviceListRead out;
    const FileRead r = read_file_limited(file, kListFileLimit);
    if (!r) {
        out.error = r.error;
        return out;
    }
    for (std::string_view line : split_lines(r.text())) {
        if (line.empty()) continue;
        auto d = parse_device_line(line);
        if (!d) {
            ++out.skipped;
        } else if (!process_alive(d->pid)) {
            ++out.stale;
        } else {
            out.devices.push_back(std::move(*d));
        }
    }
    return out;
}

}  // namespace kv
