#pragma once
// Why the pedal could not be opened, when the reason is the user's rights:
// on Linux the pedal's FTDI bridge shows up as /dev/ttyUSB<n>, which Debian
// gives to the group 'dialout' unless Korvane's udev rule (60-korvane.rules)
// opens it to the user at the seat. A user outside that group sees only
// "Pedal not found." although the pedal is plugged in.
//
// pedal_access_hint() looks at every ttyUSB port under the sysfs tty class
// whose USB device reports the pedal's description as its product, and at its
// node under /dev. When a node exists but this process may not open it for
// reading and writing (EACCES or EPERM), it returns one follow-up line for the
// status board, in the board's "  > " form, naming the group that owns the
// node or the udev rule; the command line prints the same line on standard
// error. Otherwise (no such port, no node, or the node is usable and the
// failure lies elsewhere) it returns an empty string.
//
// Nothing is opened: the check asks the kernel for the effective user's
// read-write access (faccessat with AT_EACCESS), so that looking never
// toggles the port's modem lines. Toolkit-free; every place it looks at is
// injectable so that tests run it on a tree of their own.

#include <functional>
#include <string>

namespace kv {

struct DeviceAccessPlaces {
    std::string sys_class_tty = "/sys/class/tty";   // holds ttyUSB<n> entries
    std::string dev = "/dev";                      // holds the ttyUSB<n> nodes
    std::string description = "Brakwell Tessivar";  // the bridge's product string
    // 0 when the node may be opened read-write, else the errno that says why
    // not. Empty: the process's own rights.
    std::function<int(const std::string& node)> access_error;
};

// The follow-up line ("  > The pedal is on /dev/ttyUSB0 but you may not open
// it: ...") or empty, for this system's /sys and /dev and this process.
// Call it after the pedal could not be opened.
std::string pedal_access_hint();
// The same, looking where `places` says.
std::string pedal_access_hint(const DeviceAccessPlaces& places);

} // namespace kv
