#pragma once
// The far end of the wire as the in-process driver sees it: bytes the host
// sends go in, whatever the pedal answers comes out. The simulated pedal
// model implements it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {

class PedalPort {
public:
    virtual ~PedalPort() = default;
    // Feed bytes that reached the pedal; append the pedal's answer to reply.
    virtual void receive(const uint8_t* data, size_t len, std::vector<uint8_t>& reply) = 0;
    // Seconds the pedal waits before its answer starts (a late answer fault).
    virtual double reply_delay() const { return 0.0; }
    // True once the device has dropped off the bus.
    virtual bool vanished() const { return false; }
    // The host emptied both queues of the bridge (a pedal may drop a command
    // it had only partly received).
    virtual void host_purged() {}
};

} // namespace kv
