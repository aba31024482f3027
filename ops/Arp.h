#pragma once
// The arp editor's exchanges with the pedal: reading the sequence an engine
// plays once the user has chosen another one, sending an edited sequence for
// listening (SET_ARPDATA with store flag 0), storing it into the pedal's
// global sequence library (store flag 1), and taking a factory sequence from
// "bin/arpdata.bin".
//
// Every exchange ends with one status line: "  Arp sequence read/write ok.",
// "  Arp sequence saved to pedal." after a store, or
// " Arp sequence read/write OFFLINE." when the pedal did not take it. No
// dialog is shown for a link failure. A sequence the pedal did not send is
// never made up from the link's buffer: the caller keeps what it showed.
//
// The sequence library is global, not part of a preset: a target names the
// engine, its arp algorithm and the sequence selector (the code stored in
// secondary parameter 1: 0, 2, 4, 6 for Sequence I..IV).

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "link/UsbLink.h"
#include "ops/Reporter.h"
#include "preset/PresetRecord.h"

#include <optional>
#include <string>

namespace kv::ops {

// Where an edited sequence goes.
struct ArpTarget {
    Engine engine = Engine::X;
    AlgorithmId algorithm = kFirstArpAlgorithm;   // 31..37
    uint8_t selector = 0;                         // 0, 2, 4, 6
};

struct SequenceFetch {
    LinkResult link{LinkStatus::timeout};   // the first command that failed, ok when both went through
    std::optional<ArpSequence> sequence;    // what the pedal sent
    bool ok() const { return link.ok() && sequence.has_value(); }
};

// After the user chose another sequence for `engine` (the caller has put its
// selector into `params`): Change Core with the block, 40 ms with events
// processed, then GET_ARPDATA of the engine's algorithm and selector.
// A Change Core the pedal did not take ends the exchange there.
SequenceFetch fetch_chosen_sequence(UsbLink& link, Reporter& report, const PresetParameters& params, Engine engine);

// SET_ARPDATA with store flag 0: the pedal plays the sequence, nothing is kept.
LinkResult preview_sequence(UsbLink& link, Reporter& report, const ArpTarget& target, const ArpSequence& sequence);

// SET_ARPDATA with store flag 1: the sequence goes into the pedal's library
// under the target's algorithm and selector.
LinkResult save_sequence(UsbLink& link, Reporter& report, const ArpTarget& target, const ArpSequence& sequence);

// Factory sequence `number` (0..3) of an arp algorithm (31..37) from the
// table, which reads "<folder>/arpdata.bin" on first use. A file that cannot
// be opened shows its message and gives nothing; the next call tries again.
std::optional<ArpSequence> factory_sequence(FactoryArpTable& table, Reporter& report, AlgorithmId algorithm,
                                            int number, const std::string& folder = "bin");

} // namespace kv::ops
