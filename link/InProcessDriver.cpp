#include "link/InProcessDriver.h"

#include "link/PedalWire.h"

#include <algorithm>
#include <cmath>

namespace kv {

InProcessDriver::InProcessDriver(Clock& clock, double wire_bytes_per_second)
    : clock_(clock), rate_(wire_bytes_per_second)
{
}

InProcessDriver::InProcessDriver(PedalPort& pedal, Clock& clock, double wire_bytes_per_second,
                                 std::string serial_number)
    : clock_(clock), rate_(wire_bytes_per_second)
{
    attach(kPedalDescription, serial_number, &pedal);
}

void InProcessDriver::attach(const std::string& description, const std::string& serial_number, PedalPort* port)
{
    Device d;
    d.info.description = description;
    d.info.serial_number = serial_number;
    d.port = port;
    devices_.push_back(d);
}

void InProcessDriver::detach_all()
{
    devices_.clear();
    listed_.clear();
    open_index_ = -1;
    open_handle_ = 0;
    drop_queues();
}

void InProcessDriver::fail_next_write(FtStatus status, uint32_t limit)
{
    write_fault_ = Fault{true, status, limit};
}

void InProcessDriver::fail_next_read(FtStatus status, uint32_t limit)
{
    read_fault_ = Fault{true, status, limit};
}

void InProcessDriver::clear_log()
{
    calls_.clear();
    writes_.clear();
    opens_ = closes_ = purges_ = 0;
}

bool InProcessDriver::is_open_handle(FtHandle handle) const
{
    return handle != 0 && open_index_ >= 0 && handle == open_handle_;
}

void InProcessDriver::drop_queues()
{
    tx_.clear();
    rx_.clear();
    in_flight_.clear();
}

FtStatus InProcessDriver::usable(FtHandle handle)
{
    if (!is_open_handle(handle)) return FT_INVALID_HANDLE;
    PedalPort* port = devices_[size_t(open_index_)].port;
    if (port && port->vanished()) return FT_IO_ERROR;
    update();
    return FT_OK;
}

void InProcessDriver::deliver(const uint8_t* data, size_t len, double at)
{
    PedalPort* port = devices_[size_t(open_index_)].port;
    if (!port || len == 0) return;
    std::vector<uint8_t> reply;
    port->receive(data, len, reply);
    const double first = at + std::max(0.0, port->reply_delay());
    for (uint8_t b : reply) {
        double t = std::max(first, rx_last_);
        if (rate_ > 0) t += 1.0 / rate_;
        rx_last_ = t;
        in_flight_.emplace_back(t, b);
    }
}

void InProcessDriver::update()
{
    const double t = clock_.now();
    if (!tx_.empty() && !stalled_) {
        size_t n = tx_.size();
        double at = t;
        if (rate_ > 0) {
            tx_credit_ += (t - tx_last_) * rate_;
            n = std::min(tx_.size(), size_t(std::floor(tx_credit_)));
            tx_credit_ -= double(n);
            at = t - tx_credit_ / rate_;
        }
        if (n > 0) {
            std::vector<uint8_t> chunk(tx_.begin(), tx_.begin() + long(n));
            tx_.erase(tx_.begin(), tx_.begin() + long(n));
            deliver(chunk.data(), chunk.size(), at);
        }
    }
    if (tx_.empty()) tx_credit_ = 0.0;
    tx_last_ = t;
    while (!in_flight_.empty() && in_flight_.front().first <= t) {
        rx_.push_back(in_flight_.front().second);
        in_flight_.pop_front();
    }
}

FtStatus InProcessDriver::open_by_description(const std::string& desc, FtHandle* handle)
{
    calls_.push_back({"open", 0, 0});
    if (!handle) return FT_INVALID_PARAMETER;
    for (size_t i = 0; i < devices_.size(); ++i) {
        const Device& d = devices_[i];
        if (d.info.description != desc) continue;
        if (d.port && d.port->vanished()) continue;
        if (open_index_ >= 0) return FT_DEVICE_NOT_OPENED;   // one owner at a time
        if (held_by_ != 0) return FT_DEVICE_NOT_OPENED;      // another program has it
        open_index_ = int(i);
        open_handle_ = next_handle_++;
        if (next_handle_ == 0) next_handle_ = 1;
        drop_queues();
        tx_credit_ = 0.0;
        tx_last_ = rx_last_ = clock_.now();
        *handle = open_handle_;
        ++opens_;
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FtStatus InProcessDriver::close(FtHandle handle)
{
    calls_.push_back({"close", 0, 0});
    if (!is_open_handle(handle)) return FT_INVALID_HANDLE;
    // Like a serial port, the bridge still sends what was queued; whatever
    // the pedal answers to it has no reader any more.
    PedalPort* port = devices_[size_t(open_index_)].port;
    if (port && !port->vanished() && !stalled_ && !tx_.empty()) {
        std::vector<uint8_t> rest(tx_.begin(), tx_.end());
        std::vector<uint8_t> lost;
        port->receive(rest.data(), rest.size(), lost);
    }
    open_index_ = -1;
    open_handle_ = 0;
    drop_queues();
    ++closes_;
    return FT_OK;
}

FtStatus InProcessDriver::write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t* written)
{
    calls_.push_back({"write", len, 0});
    if (written) *written = 0;
    const FtStatus st = usable(handle);
    if (st != FT_OK) return st;
    // Nothing to send from: nothing was accepted, and the call says so.
    if (len > 0 && !data) return FT_INVALID_PARAMETER;
    uint32_t n = len;
    FtStatus result = FT_OK;
    if (write_fault_.armed) {
        write_fault_.armed = false;
        n = std::min(n, write_fault_.limit);
        result = write_fault_.status;
    }
    if (n > 0) {
        tx_.insert(tx_.end(), data, data + n);
        writes_.emplace_back(data, data + n);
    }
    if (written) *written = n;
    update();
    return result;
}

FtStatus InProcessDriver::read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t* got)
{
    calls_.push_back({"read", len, 0});
    if (got) *got = 0;
    const FtStatus st = usable(handle);
    if (st != FT_OK) return st;
    if (len > 0 && !data) return FT_INVALID_PARAMETER;
    uint32_t n = std::min<uint32_t>(len, uint32_t(rx_.size()));
    FtStatus result = FT_OK;
    if (read_fault_.armed) {
        read_fault_.armed = false;
        n = std::min(n, read_fault_.limit);
        result = read_fault_.status;
    }
    for (uint32_t i = 0; i < n; ++i) {
        data[i] = rx_.front();
        rx_.pop_front();
    }
    if (got) *got = n;
    return result;
}

FtStatus InProcessDriver::get_queue_status(FtHandle handle, uint32_t* rx_bytes)
{
    const FtStatus st = usable(handle);
    if (st != FT_OK) return st;
    if (rx_bytes) *rx_bytes = uint32_t(rx_.size());
    return FT_OK;
}

FtStatus InProcessDriver::get_status(FtHandle handle, uint32_t* rx_bytes, uint32_t* tx_bytes, uint32_t* events)
{
    const FtStatus st = usable(handle);
    if (st != FT_OK) return st;
    if (rx_bytes) *rx_bytes = uint32_t(rx_.size());
    if (tx_bytes) *tx_bytes = uint32_t(tx_.size());
    if (events) *events = 0;
    return FT_OK;
}

FtStatus InProcessDriver::purge(FtHandle handle, uint32_t mask)
{
    calls_.push_back({"purge", mask, 0});
    const FtStatus st = usable(handle);
    if (st != FT_OK) return st;
    if (mask & FT_PURGE_RX) rx_.clear();
    if (mask & FT_PURGE_TX) tx_.clear();
    if ((mask & (FT_PURGE_RX | FT_PURGE_TX)) == (FT_PURGE_RX | FT_PURGE_TX)) {
        if (PedalPort* port = devices_[size_t(open_index_)].port) port->host_purged();
    }
    ++purges_;
    return FT_OK;
}

FtStatus InProcessDriver::create_device_info_list(uint32_t* count)
{
    listed_ = devices_;
    if (count) *count = uint32_t(listed_.size());
    return FT_OK;
}

FtStatus InProcessDriver::get_device_info_detail(uint32_t index, FtDeviceInfo* info, FtHandle* handle)
{
    if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
    if (info) *info = listed_[index].info;
    if (handle) *handle = (int(index) == open_index_ && index < devices_.size()) ? open_handle_ : 0;
    return FT_OK;
}

FtStatus InProcessDriver::set_usb_parameters(FtHandle handle, uint32_t in_size, uint32_t out_size)
{
    calls_.push_back({"usb_parameters", in_size, out_size});
    return usable(handle);
}

FtStatus InProcessDriver::set_timeouts(FtHandle handle, uint32_t read_ms, uint32_t write_ms)
{
    calls_.push_back({"timeouts", read_ms, write_ms});
    return usable(handle);
}

FtStatus InProcessDriver::set_baud_rate(FtHandle handle, uint32_t baud)
{
    calls_.push_back({"baud_rate", baud, 0});
    return usable(handle);
}

} // namespace kv
