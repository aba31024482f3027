#include "ops/Arp.h"

#include "ops/Connect.h"
#include "preset/Catalogue.h"

#include <algorithm>

namespace kv::ops {

namespace {

// Between the parameter block that switches the engine to its new sequence
// and the request for that sequence's data.
constexpr double kSequenceSwitchPause = 0.04;

void arp_line(Reporter& report, int code, bool saved)
{
    if (code != 0) report.status(" Arp sequence read/write OFFLINE.");
    else report.status(saved ? "  Arp sequence saved to pedal." : "  Arp sequence read/write ok.");
}

// SET_ARPDATA has no answer: a pedal that is deaf or gone takes the bytes
// without a word. A store counts only once the library gives the sequence
// back as it was sent.
int verify_stored(UsbLink& link, const ArpTarget& t, const ArpSequence& seq)
{
    ArpSequence got;
    const int code =
        link.get_arp_data(uint8_t(arp_index(t.algorithm)), t.selector, uint8_t(index_of(t.engine)), &got);
    if (code != 0) return code;
    return got.bytes == seq.bytes ? 0 : UsbLink::kMismatch;
}

int send_sequence(UsbLink& link, Reporter& report, const ArpTarget& t, const ArpSequence& seq, bool store)
{
    int code = is_arp_algorithm(t.algorithm)
                   ? link.set_arp_data(uint8_t(arp_index(t.algorithm)), t.selector,
                                       uint8_t(index_of(t.engine)), store ? 1 : 0, seq.bytes.data())
                   : UsbLink::kTimeout;   // nothing to address: never sent
    if (code == 0 && store) code = verify_stored(link, t, seq);
    arp_line(report, code, store);
    return code;
}

} // namespace

SequenceFetch fetch_chosen_sequence(UsbLink& link, Reporter& report, const PresetParameters& params, Engine engine)
{
    SequenceFetch r;
    r.code = link.change_core(params);
    if (r.code == 0) {
        link.pause(kSequenceSwitchPause, true);
        int code = 0;
        r.sequence = fetch_sequence(link, params, engine, &code);
        r.code = r.sequence ? 0 : (code != 0 ? code : UsbLink::kArpTimeout);
    }
    arp_line(report, r.code, false);
    return r;
}

int preview_sequence(UsbLink& link, Reporter& report, const ArpTarget& target, const ArpSequence& sequence)
{
    return send_sequence(link, report, target, sequence, false);
}

int save_sequence(UsbLink& link, Reporter& report, const ArpTarget& target, const ArpSequence& sequence)
{
    return send_sequence(link, report, target, sequence, true);
}

std::optional<ArpSequence> factory_sequence(FactoryArpTable& table, Reporter& report, AlgorithmId algorithm,
                                            int number, const std::string& folder)
{
    if (!table.ensure_loaded(folder)) {
        report.message(kArpFactoryLoadFailedMessage);
        return std::nullopt;
    }
    if (!is_arp_algorithm(algorithm) || number < 0 || number >= kArpUserSequences) return std::nullopt;
    return table.sequence(arp_index(algorithm), number);
}

} // namespace kv::ops
