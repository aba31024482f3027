#pragma once
// The devices file named by KORVANE_DEVICES: one pretend USB-serial bridge a
// line, "<port path>\t<description>\t<serial number>[\t<process id>]".
// tessivar-sim writes the fourth field, the id of the process serving the
// port; hand-written lines may leave it out.
//
// The rules every reader of the file applies (the editor's serial driver and
// the simulator when it tidies the file):
//   - a line whose process has ended is stale: its port may since have been
//     handed to an unrelated terminal, so it is never listed and never opened;
//   - fields are held to what a real bridge can report (serial number at most
//     15 characters, description at most 63, printable characters only) and
//     the port path must be absolute; a line breaking a rule is skipped whole;
//   - the file itself is read through read_file_limited (platform/SafeFile.h):
//     a FIFO, a device or an oversized file yields no devices and a message.
// Toolkit-free.

#include "platform/SafeFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr size_t kMaxSerialNumberLength = 15;
inline constexpr size_t kMaxDescriptionLength = 63;
inline constexpr size_t kMaxPortPathLength = 4095;

struct DeviceLine {
    std::string path;
    std::string description;
    std::string serial_number;
    long pid = 0;   // the serving process, 0 when the line names none
};

// One line of the file (no newline). Nothing when it breaks a rule above
// (stale lines still parse: see process_alive).
std::optional<DeviceLine> parse_device_line(std::string_view line);

// True unless the process is known to have ended (a process of another user
// still counts as alive). A pid of 0 names no process: true.
bool process_alive(long pid);

struct DeviceListRead {
    std::vector<DeviceLine> devices;   // live, well-formed lines in file order
    FileError error = FileError::NoError; // why the file could not be read at all
    int skipped = 0;                   // malformed or over-long lines
    int stale = 0;                     // lines of processes that have ended
};

// Reads and filters the whole file.
DeviceListRead read_device_list(const std::string& file);

// A USB-serial port the kernel lists under /sys/class/tty: "ttyUSB<n>" and
// the product and serial strings of the USB device it hangs off (the tty's
// device is a USB interface; the strings sit one or two levels above it).
struct UsbTtyPort {
    std::string name;      // "ttyUSB0"
    std::string product;   // the bridge's description
    std::string serial;    // empty when the device has none
};

// Every ttyUSB port under sys_class_tty that has a product string, in the
// kernel's numbering order. Ports that come and go while looking are left
// out; strings are read through read_file_limited.
std::vector<UsbTtyPort> list_usb_ttys(const std::string& sys_class_tty = "/sys/class/tty");

}  // namespace kv
