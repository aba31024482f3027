#include "link/ComPorts.h"

#include "link/DeviceList.h"

#include <vector>

namespace kv {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool starts_with_nocase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(s[i]) != upper(prefix[i])) return false;
    return true;
}

std::vector<std::string_view> split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

bool serial_text(std::string_view s)
{
    if (s.empty() || s.size() > kMaxSerialNumberLength) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

bool printable(std::string_view s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7f) return false;
    return true;
}

}   // namespace

std::optional<std::string> ftdi_serial_from_instance_id(std::string_view id)
{
    const std::vector<std::string_view> levels = split(id, '\\');
    if (levels.size() < 2) return std::nullopt;
    if (starts_with_nocase(levels[0], "FTDIBUS") && levels[0].size() == 7) {
        // VID_0403+PID_6001+<serial><channel letter>
        const std::vector<std::string_view> parts = split(levels[1], '+');
        if (parts.size() != 3 || !starts_with_nocase(parts[0], "VID_0403") || parts[0].size() != 8) return std::nullopt;
        std::string_view serial = parts[2];
        if (serial.size() < 2) return std::nullopt;
        const char channel = upper(serial.back());
        if (channel < 'A' || channel > 'D') return std::nullopt;
        serial.remove_suffix(1);
        if (!serial_text(serial)) return std::nullopt;
        return std::string(serial);
    }
    if (starts_with_nocase(levels[0], "USB") && levels[0].size() == 3 && levels.size() == 3) {
        // VID_0403&PID_6001\<serial>
        if (!starts_with_nocase(levels[1], "VID_0403&")) return std::nullopt;
        // Windows makes up an ID with '&' in it for a device without a serial.
        if (!serial_text(levels[2])) return std::nullopt;
        return std::string(levels[2]);
    }
    return std::nullopt;
}

bool is_com_port_name(std::string_view name)
{
    if (!starts_with_nocase(name, "COM")) return false;
    const std::string_view digits = name.substr(3);
    if (digits.empty() || digits.size() > 3 || digits[0] == '0') return false;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    return n >= 1 && n <= 256;
}

std::optional<ComPortDevice> pedal_candidate(const ComPortReport& report)
{
    if (!is_com_port_name(report.port_name)) return std::nullopt;
    if (report.description.empty() || report.description.size() > kMaxDescriptionLength ||
        !printable(report.description))
        return std::nullopt;
    auto serial = ftdi_serial_from_instance_id(report.instance_id);
    if (!serial) return std::nullopt;
    ComPortDevice d;
    d.path = "//./" + report.port_name;
    d.description = report.description;
    d.serial_number = std::move(*serial);
    return d;
}

}   // namespace kv
