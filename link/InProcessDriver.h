#pragma once
// A driver wired straight to a PedalPort in this process, for tests and for
// running the link against the simulated pedal without a tty.
//
// It keeps the two queues of a USB-serial bridge: bytes written go into the
// transmit queue and drain to the pedal at the wire rate (bytes per second,
// measured on the injected clock; 0 = at once); the pedal's answer becomes
// readable reply_delay() seconds after the bytes that caused it reached the
// pedal, one byte per wire-byte time when a rate is set. A pedal that has
// vanished() gives FT_IO_ERROR on every call of an open handle and cannot be
// opened. Closing a handle sends what is still queued (as a serial port
// drains on close) and drops every answer still on its way.

#include "link/FtDriver.h"
#include "link/PedalPort.h"
#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace kv {

class InProcessDriver : public FtDriver {
public:
    // A driver with no devices attached; add them with attach().
    explicit InProcessDriver(Clock& clock, double wire_bytes_per_second = 0.0);
    // A driver with one pedal attached under the pedal's description.
    InProcessDriver(PedalPort& pedal, Clock& clock, double wire_bytes_per_second = 0.0,
                    std::string serial_number = "TV000001");

    // Adds a device to the list. A device without a port (nullptr) is listed
    // and can be opened, but never answers.
    void attach(const std::string& description, const std::string& serial_number, PedalPort* port);
    void detach_all();
    void set_wire_rate(double bytes_per_second) { rate_ = bytes_per_second; }

    // Faults for the next write or read only: the call returns `status` and
    // moves at most `limit` bytes.
    void fail_next_write(FtStatus status, uint32_t limit);
    void fail_next_read(FtStatus status, uint32_t limit);
    // The transmit queue never drains while set (a pedal that stopped taking data).
    void set_transmit_stalled(bool stalled) { stalled_ = stalled; }
    // While not 0, another program (this process id, -1: one not known)
    // holds the pedal: opening it fails and port_holder() names the holder.
    void set_held_by(int pid) { held_by_ = pid; }
    int port_holder() const override { return held_by_; }

    // What the host did, for tests.
    struct Call {
        std::string name;
        uint32_t a = 0;
        uint32_t b = 0;
    };
    const std::vector<Call>& calls() const { return calls_; }
    // Every write, as the bytes accepted.
    const std::vector<std::vector<uint8_t>>& writes() const { return writes_; }
    int open_count() const { return opens_; }
    int close_count() const { return closes_; }
    int purge_count() const { return purges_; }
    bool is_open() const { return open_index_ >= 0; }
    void clear_log();

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

private:
    struct Device {
        FtDeviceInfo info;
        PedalPort* port = nullptr;
    };
    struct Fault {
        bool armed = false;
        FtStatus status = FT_OK;
        uint32_t limit = 0;
    };

    bool is_open_handle(FtHandle handle) const;
    // Checks the handle and brings both queues up to the clock; FT_OK when usable.
    FtStatus usable(FtHandle handle);
    // Forgets every byte queued either way or still on its way.
    void drop_queues();
    void update();
    void deliver(const uint8_t* data, size_t len, double at);

    Clock& clock_;
    double rate_;
    std::vector<Device> devices_;
    std::vector<Device> listed_;          // the last create_device_info_list
    int open_index_ = -1;
    FtHandle open_handle_ = 0;
    FtHandle next_handle_ = 0x100;

    std::deque<uint8_t> tx_;
    double tx_credit_ = 0.0;
    double tx_last_ = 0.0;
    bool stalled_ = false;
    int held_by_ = 0;
    std::deque<std::pair<double, uint8_t>> in_flight_;   // reply bytes and when they arrive
    double rx_last_ = 0.0;                               // arrival time of the last queued reply byte
    std::deque<uint8_t> rx_;

    Fault write_fault_;
    Fault read_fault_;
    std::vector<Call> calls_;
    std::vector<std::vector<uint8_t>> writes_;
    int opens_ = 0;
    int closes_ = 0;
    int purges_ = 0;
};

} // namespace kv
