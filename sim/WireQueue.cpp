#include "sim/WireQueue.h"

#include <algorithm>

namespace kv {

void WireQueue::push(const uint8_t* data, size_t len, double earliest)
{
    if (data == nullptr) return;
    double t = std::max(earliest, queue_.empty() ? earliest : wire_free_);
    for (size_t i = 0; i < len; ++i) {
        if (rate_ > 0) t += 1.0 / rate_;
        queue_.push_back({data[i], t});
    }
    wire_free_ = t;
}

size_t WireQueue::due(double now) const
{
    // Due times never decrease along the queue.
    const auto it = std::upper_bound(queue_.begin(), queue_.end(), now,
                                     [](double t, const Entry& e) { return t < e.due; });
    return size_t(it - queue_.begin());
}

std::vector<uint8_t> WireQueue::front(size_t n) const
{
    n = std::min(n, queue_.size());
    std::vector<uint8_t> out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) out.push_back(queue_[i].byte);
    return out;
}

void WireQueue::pop(size_t n)
{
    n = std::min(n, queue_.size());
    queue_.erase(queue_.begin(), queue_.begin() + long(n));
}

}  // namespace kv
