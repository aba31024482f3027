// The devices file (KORVANE_DEVICES): the editor's reading of it, and the
// simulator's adding and removing of its own line in a file someone else has
// written. Every listed device must obey the file's rules.

#include "fuzz/FuzzSupport.h"
#include "link/DeviceList.h"
#include "sim/DevicesFile.h"

#include <unistd.h>

using namespace kv;

namespace {

bool printable(const std::string& s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

void check_device(const DeviceLine& d)
{
    fuzz::fuzz_check(!d.path.empty() && d.path.front() == '/', "port path is absolute");
    fuzz::fuzz_check(d.path.size() <= kMaxPortPathLength, "port path length");
    fuzz::fuzz_check(d.description.size() <= kMaxDescriptionLength, "description length");
    fuzz::fuzz_check(d.serial_number.size() <= kMaxSerialNumberLength, "serial number length");
    fuzz::fuzz_check(printable(d.path) && printable(d.description) && printable(d.serial_number),
                     "fields printable");
    fuzz::fuzz_check(d.pid >= 0, "process id not negative");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size <= 8192) {
        for (std::string_view line : split_lines(text))
            if (auto d = parse_device_line(line)) check_device(*d);
    }

    const std::string path = fuzz::scratch_file("devices", data, size);
    const DeviceListRead read = read_device_list(path);
    for (const DeviceLine& d : read.devices) check_device(d);

    // The simulator's own line goes in and comes out again, whatever else the file holds.
    const std::string mine = device_line("/dev/pts/999", "TSV0417A", long(getpid()));
    if (add_device_line(path, mine)) {
        bool listed = false;
        for (const DeviceLine& d : read_device_list(path).devices) listed |= d.path == "/dev/pts/999";
        fuzz::fuzz_check(listed, "added line is listed");
        fuzz::fuzz_check(remove_device_line(path, mine), "own line removed again");
    }
    return 0;
}
