#include "link/SerialDriver.h"

#include "link/DeviceList.h"
#include "link/PedalWire.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <cstdio>

// Listing and finding the pedal's port, the same on every system; the port
// itself is in SerialDriver_posix.cpp and SerialDriver_win32.cpp.

namespace kv {

namespace {

// Says once on standard error what is wrong with the devices file, and again
// only when that changes: the list is read for every exchange.
void report_devices_file(const std::string& file, const DeviceListRead& read)
{
    static std::string last;
    std::string now;
    if (read.error != FileError::NoError) {
        now = read_failure_message(file, read.error) + "; no devices listed from it";
    } else if (read.skipped > 0) {
        now = "devices file " + file + ": " + std::to_string(read.skipped) +
              " malformed line(s) skipped (fields too long, unprintable or missing)";
    }
    if (now == last) return;
    last = now;
    if (!now.empty()) std::fprintf(stderr, "korvane: %s\n", now.c_str());
}

void list_from_file(const std::string& file, std::vector<SerialDriver::Listed>& out)
{
    // Lines of processes that have ended are left out: their port number may
    // since belong to an unrelated terminal.
    const DeviceListRead read = read_device_list(file);
    report_devices_file(file, read);
    for (const DeviceLine& line : read.devices) {
        SerialDriver::Listed d;
        d.path = line.path;
        d.info.description = line.description;
        d.info.serial_number = line.serial_number;
        out.push_back(std::move(d));
    }
}

}  // namespace

SerialDriver::~SerialDriver()
{
    while (!ports_.empty()) close(ports_.begin()->first);
}

std::vector<SerialDriver::Listed> SerialDriver::enumerate()
{
    std::vector<Listed> out;
    if (auto file = get_env("KORVANE_DEVICES"); file && !file->empty()) list_from_file(*file, out);
    list_system_ports(out);
    return out;
}

std::vector<SerialDriver::Listed> SerialDriver::devices() const
{
    if (only_port_.empty()) return enumerate();
    Listed one;
    one.path = only_port_;
    one.info.description = kPedalDescription;
    for (const Listed& d : enumerate())
        if (d.path == only_port_) one.info.serial_number = d.info.serial_number;
    return {one};
}

SerialDriver::Port* SerialDriver::find(FtHandle handle)
{
    auto it = ports_.find(handle);
    return it == ports_.end() ? nullptr : &it->second;
}

const SerialDriver::Port* SerialDriver::find(FtHandle handle) const
{
    auto it = ports_.find(handle);
    return it == ports_.end() ? nullptr : &it->second;
}

FtStatus SerialDriver::open_by_description(const std::string& desc, FtHandle* handle)
{
    if (!handle) return FT_INVALID_PARAMETER;
    *handle = 0;
    FtStatus first_failure = FT_DEVICE_NOT_FOUND;
    bool failed = false;
    int holder = 0;
    for (const Listed& d : devices()) {
        if (d.info.description != desc) continue;
        const FtStatus st = open_path(d.path, handle);
        if (st == FT_OK) return FT_OK;
        if (holder == 0) holder = holder_;
        if (!failed) {
            first_failure = st;
            failed = true;
        }
    }
    holder_ = holder;
    return first_failure;
}

FtStatus SerialDriver::create_device_info_list(uint32_t* count)
{
    listed_ = devices();
    if (count) *count = uint32_t(listed_.size());
    return FT_OK;
}

FtStatus SerialDriver::get_device_info_detail(uint32_t index, FtDeviceInfo* info, FtHandle* handle)
{
    if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
    if (info) *info = listed_[index].info;
    if (handle) {
        *handle = 0;
        for (const auto& [h, port] : ports_) {
            if (port.path == listed_[index].path) {
                *handle = h;
                break;
            }
        }
    }
    return FT_OK;
}

}  // namespace kv
