#pragma once
// Bytes on their way along one direction of the serial line. Each byte is
// due when it has fully crossed the wire: with a rate set, one byte every
// 1/rate seconds, back to back, never before the time it was queued for;
// without a rate (0) every byte is due at once. Times are plain seconds on
// whatever clock the caller uses.

#include "link/PedalWire.h"   // kWireBytesPerSecond, the pedal's line rate

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kv {

class WireQueue {
public:
    explicit WireQueue(double bytes_per_second = 0.0) : rate_(bytes_per_second > 0 ? bytes_per_second : 0.0) {}

    // Queues bytes that may start crossing at `earliest`.
    void push(const uint8_t* data, size_t len, double earliest);
    // Number of bytes at the front that are due at `now`.
    size_t due(double now) const;
    // The first n bytes (n no more than size()).
    std::vector<uint8_t> front(size_t n) const;
    // Drops the first n bytes (all when n is larger than size()).
    void pop(size_t n);
    // When the first byte is due; only meaningful when not empty().
    double next_due() const { return queue_.front().due; }
    // When byte i (from 0) is due; only meaningful when i < size().
    double due_at(size_t i) const { return queue_[i].due; }
    // When the last byte is due; only meaningful when not empty().
    double last_due() const { return queue_.back().due; }
    bool empty() const { return queue_.empty(); }
    size_t size() const { return queue_.size(); }
    void clear() { queue_.clear(); }

private:
    struct Entry {
        uint8_t byte;
        double due;
    };
    double rate_;
    double wire_free_ = 0.0;   // when the last queued byte has crossed
    std::deque<Entry> queue_;
};

}  // namespace kv
