// The simulated pedal's side of the wire: any bytes from the host, cut into
// any pieces, in normal and update mode, with time passing between pieces.
// The model must answer without reading outside its records, drop a half
// command when the host purges, and never touch its firmware outside update
// mode.

#include "fuzz/FuzzSupport.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"

#include <vector>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Cursor in(data, size);
    ManualClock clock;
    PedalModel pedal(clock);
    const bool update = in.byte() & 1;
    pedal.set_update_mode(update);
    const std::vector<uint8_t> firmware = pedal.memory().firmware;
    std::vector<uint8_t> reply;
    while (!in.empty()) {
        const uint8_t how = in.byte();
        const std::string_view piece = in.take(how & 0x3F);
        pedal.receive(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), reply);
        if (how & 0x40) clock.advance(how & 0x80 ? 4.0 : 0.01);   // beyond or within the stall limit
        if ((how & 0xC0) == 0xC0) {
            pedal.host_purged();
            fuzz::fuzz_check(!pedal.mid_command(), "a purge drops a half command");
        }
        if (reply.size() > (1u << 20)) reply.clear();
    }
    if (!update) fuzz::fuzz_check(pedal.memory().firmware == firmware, "firmware changes only in update mode");
    return 0;
}
