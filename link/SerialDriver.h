#pragma once
// The pedal's USB-serial bridge as a serial port of the system: on Linux a
// tty under the kernel's FTDI driver (or any tty that speaks the pedal's
// protocol, such as the simulated pedal's pseudo-terminal), on Windows a COM
// port. Listing and finding are shared (SerialDriver.cpp); the port itself is
// SerialDriver_posix.cpp or SerialDriver_win32.cpp.
//
// Device list, in order: the devices named in the file given by the
// environment variable KORVANE_DEVICES (format and rules in link/DeviceList.h:
// stale, malformed and over-long lines are left out), then the system's: every
// /sys/class/tty/ttyUSB* whose USB device carries a `product` (the
// description) and a `serial`; on Windows every port of the Ports class on
// the FTDI bus (link/ComPorts.h).
//
// Linux:
// A port is opened raw 8N1 at the set baud rate (115200 by default),
// exclusively (flock and TIOCEXCL), in low-latency mode where the driver
// allows it, with non-blocking reads and without hang-up on close (HUPCL
// off), so that closing after each exchange leaves DTR and RTS as they are;
// closing a port that was not already set up as a pedal line puts back the
// other settings it had before. A port that hangs
// up or disappears gives FT_IO_ERROR; nothing here blocks past the write
// timeout.
//
// Windows: the port ("COM5", "\\.\COM5" or "//./COM5") is opened
// exclusively, 115200 8N1 without flow control, DTR and RTS on; reads never
// wait (COMMTIMEOUTS), wait_receive waits with a read timeout cut to the
// deadline (WaitCommEvent does not work on every port: not on a pseudo-
// terminal behind Wine). A port another program has open gives
// FT_DEVICE_NOT_OPENED with port_holder() -1.

#include "link/FtDriver.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class SerialDriver : public FtDriver {
public:
    struct Listed {
        std::string path;
        FtDeviceInfo info;
    };

    SerialDriver() = default;
    ~SerialDriver() override;
    SerialDriver(const SerialDriver&) = delete;
    SerialDriver& operator=(const SerialDriver&) = delete;

    // The devices as the list would show them now.
    static std::vector<Listed> enumerate();
    // Use this one port as the pedal instead of the device list (the
    // command line's --port). Its serial number is the one the list gives
    // for that path, if any.
    void set_port(const std::string& path) { only_port_ = path; }
    // The device list in use: the one port, or enumerate().
    std::vector<Listed> devices() const;
    // The file descriptor behind an open handle, or -1 (always on Windows).
    int fd_of(FtHandle handle) const;

    FtStatus open_by_description(const std::string& desc, FtHandle* handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t* written) override;
    FtStatus read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t* got) override;
    FtStatus get_queue_status(FtHandle handle, uint32_t* rx_bytes) override;
    FtStatus get_status(FtHandle handle, uint32_t* rx_bytes, uint32_t* tx_bytes, uint32_t* events) override;
    FtStatus purge(FtHandle handle, uint32_t mask) override;
    FtStatus create_device_info_list(uint32_t* count) override;
    FtStatus get_device_info_detail(uint32_t index, FtDeviceInfo* info, FtHandle* handle) override;
    FtStatus set_usb_parameters(FtHandle handle, uint32_t in_size, uint32_t out_size) override;
    FtStatus set_timeouts(FtHandle handle, uint32_t read_ms, uint32_t write_ms) override;
    FtStatus set_baud_rate(FtHandle handle, uint32_t baud) override;
    // Wait on the port itself: the line discipline wakes the poll once enough
    // of the reply is queued (bytes already there are taken ahead of the
    // read, so that each wake-up stands for new data).
    bool wait_receive(FtHandle handle, uint32_t bytes, double seconds) override;
    int receive_descriptor(FtHandle handle, uint32_t bytes, bool* ready) override;

    // Opens one port by path, as open_by_description does once it has found it.
    FtStatus open_path(const std::string& path, FtHandle* handle);
    int port_holder() const override { return holder_; }
    // The process that holds the flock on `path`, as the kernel's lock list
    // shows it; -1 when none is listed or the list cannot be read (always on
    // Windows, which names no holder).
    static int flock_holder(const std::string& path, const std::string& locks_file = "/proc/locks");

private:
    // What the system keeps for an open port: on Linux the line settings
    // found at open, put back at close; on Windows the port's handle.
    struct SystemPort;
    struct Port {
        int fd = -1;   // Linux: the tty's descriptor
        std::string path;
        uint32_t write_ms = 1000;
        std::shared_ptr<SystemPort> system;
        bool restore_settings = false;   // they were not already a pedal line's
        bool low_latency_set = false;   // we switched low latency on: off again at close
        std::vector<uint8_t> received;   // taken from the kernel ahead of a read
        int wake_threshold = 0;          // VMIN as last set on the line
    };
    Port* find(FtHandle handle);
    const Port* find(FtHandle handle) const;
    // FT_IO_ERROR when the port has hung up or errored, else FT_OK.
    FtStatus line_state(const Port& port) const;
    // Moves what the kernel holds for the port into port.received.
    FtStatus take_waiting(Port& port);
    // Sets how many bytes make the line poll readable (1 to 255).
    void set_wake_threshold(Port& port, uint32_t bytes);
    // The system's own pedal ports, after those of the devices file.
    static void list_system_ports(std::vector<Listed>& out);

    std::map<FtHandle, Port> ports_;
    std::vector<Listed> listed_;
    std::map<std::string, uint32_t> baud_;   // by path: the rate to open with
    FtHandle next_handle_ = 1;
    std::string only_port_;
    int holder_ = 0;   // port_holder() of the last open
};

} // namespace kv
