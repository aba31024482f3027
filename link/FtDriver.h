#pragma once
// The operations the link needs from the pedal's USB-serial bridge, in the
// shape of the FTDI D2XX calls: every call returns a status (0 = OK).
// Implementations: SerialDriver (a real tty under the kernel's FTDI driver)
// and InProcessDriver (wired straight to a simulated pedal, for tests).

#include <cstdint>
#include <string>

namespace kv {

using FtStatus = uint32_t;
using FtHandle = uint32_t;   // 0 = no handle

enum : FtStatus {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_OTHER_ERROR = 18,
};

enum : uint32_t { FT_PURGE_RX = 1, FT_PURGE_TX = 2 };

struct FtDeviceInfo {
    std::string serial_number;   // at most 15 characters on a real bridge
    std::string description;     // at most 63 characters on a real bridge
};

class FtDriver {
public:
    virtual ~FtDriver() = default;

    // Opens the first listed device whose description equals desc byte for byte.
    virtual FtStatus open_by_description(const std::string& desc, FtHandle* handle) = 0;
    virtual FtStatus close(FtHandle handle) = 0;
    virtual FtStatus write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t* written) = 0;
    // Never blocks longer than the read timeout; delivers what is queued up to len.
    virtual FtStatus read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t* got) = 0;
    // Bytes waiting in the receive queue.
    virtual FtStatus get_queue_status(FtHandle handle, uint32_t* rx_bytes) = 0;
    // Receive and transmit queue counts; the event word is always 0 here.
    virtual FtStatus get_status(FtHandle handle, uint32_t* rx_bytes, uint32_t* tx_bytes, uint32_t* events) = 0;
    virtual FtStatus purge(FtHandle handle, uint32_t mask) = 0;
    virtual FtStatus create_device_info_list(uint32_t* count) = 0;
    // Description and serial number of device `index` of the last list; *handle
    // receives the device's handle when this process has it open, else 0.
    virtual FtStatus get_device_info_detail(uint32_t index, FtDeviceInfo* info, FtHandle* handle) = 0;
    virtual FtStatus set_usb_parameters(FtHandle handle, uint32_t in_size, uint32_t out_size) = 0;
    virtual FtStatus set_timeouts(FtHandle handle, uint32_t read_ms, uint32_t write_ms) = 0;
    virtual FtStatus set_baud_rate(FtHandle handle, uint32_t baud) = 0;

    // After an open that failed: the process id of the program that holds
    // the port, -1 when the port is held but the holder is not known, 0 when
    // the port was not held by another program.
    virtual int port_holder() const { return 0; }

    // Waits for a reply: returns once at least `bytes` are in the receive
    // queue, the port fails, or `seconds` have passed. False when this driver
    // has no way to wait on its port (the caller then lets time pass itself).
    virtual bool wait_receive(FtHandle, uint32_t /*bytes*/, double /*seconds*/) { return false; }
    // For callers that wait on the port together with other sources: a
    // descriptor that polls readable once more of a reply of `bytes` has come
    // (at the latest when all of it is queued), or -1 when there is none.
    // *ready is set when the bytes are already queued; then there is nothing
    // to wait for.
    virtual int receive_descriptor(FtHandle, uint32_t /*bytes*/, bool* ready)
    {
        if (ready) *ready = false;
        return -1;
    }
};

} // namespace kv
