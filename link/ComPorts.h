#pragma once
// What Windows reports for a serial port of the Ports class, read as a pedal
// bridge. SetupAPI gives, per port, the device instance ID, the description
// its bus reported (the bridge's product string, "Brakwell Tessivar") and the
// port name from the device's registry key ("COM5"). The FTDI driver's
// instance IDs carry the bridge's serial number followed by the channel
// letter:
//
//     FTDIBUS\VID_0403+PID_6001+A50285BIA\0000   ->  serial "A50285BI"
//     USB\VID_0403&PID_6001\A50285BI             ->  serial "A50285BI"
//
// Only FTDI bridges (vendor 0403) are pedal candidates; their description and
// serial number are held to what a real bridge can report (the limits of
// link/DeviceList.h). The reading is plain text handling, built and tested on
// every system; SerialDriver_win32.cpp does the SetupAPI calls. Toolkit-free.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct ComPortReport {
    std::string instance_id;   // "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"
    std::string description;   // the bus-reported description
    std::string port_name;     // "COM5"
};

struct ComPortDevice {
    std::string path;   // "//./COM5": opens every port, COM10 and up too
    std::string description;
    std::string serial_number;
};

// The serial number in an FTDI instance ID; nothing for other vendors and
// malformed IDs.
std::optional<std::string> ftdi_serial_from_instance_id(std::string_view instance_id);

// "COM1" to "COM256" (any case).
bool is_com_port_name(std::string_view name);

// The device a report stands for, or nothing when it is not an FTDI bridge
// with a port name, a description and a serial number within the limits.
std::optional<ComPortDevice> pedal_candidate(const ComPortReport& report);

}   // namespace kv
