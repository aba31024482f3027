#include "ops/Arp.h"

#include "ops/Connect.h"
#include "preset/Catalogue.h"

#include <algorithm>

namespace kv::ops {

namespace {

// Between the parameter block that switches the engine to its new sequence
// and the request for that sequence's data.
constexpr double kSequenceSwitchPause = 0.04;

void arp_line(Reporter& report, const LinkResult& result, bool saved)
{
    if (!result.ok()) report.status(" Arp sequence read/write OFFLINE.");
    else report.status(saved ? "  Arp sequence saved to pedal." : "  Arp sequence read/write ok.");
}

// SET_ARPDATA has no answer: a pedal that is deaf or gone takes the bytes
// without a word. A store counts only once the library gives the sequence
// back as it was sent.
LinkResult verify_stored(UsbLink& link, const ArpTarget& t, const ArpSequence& seq)
{
    ArpSequence got;
    const LinkResult read =
        link.get_arp_data(uint8_t(arp_index(t.algorithm)), t.selector, uint8_t(index_of(t.engine)), &got);
    if (!read.ok()) return read;
    if (got.bytes != seq.bytes) return {LinkStatus::echo_mismatch, FT_OK, uint32_t(kArpSequenceSize), 0};
    return read;
}

LinkResult send_sequence(UsbLink& link, Reporter& report, const ArpTarget& t, const ArpSequence& seq, bool store)
{
    // Nothing to address for an engine without an arp algorithm: never sent.
    LinkResult sent = is_arp_algorithm(t.algorithm)
                          ? link.set_arp_data(uint8_t(arp_index(t.algorithm)), t.selector,
                                              uint8_t(index_of(t.engine)), store ? 1 : 0, seq.bytes.data())
                          : LinkResult{LinkStatus::refused, FT_INVALID_PARAMETER, 0, 0};
    if (sent.ok() && store) sent = verify_stored(link, t, seq);
    arp_line(report, sent, store);
    return sent;
}

} // namespace

SequenceFetch fetch_chosen_sequence(UsbLink& link, Reporter& report, const PresetParameters& params, Engine engine)
{
    SequenceFetch r;
    r.link = link.change_core(params);
    if (r.link.ok()) {
        link.pause(kSequenceSwitchPause, true);
        LinkResult fetched;
        r.sequence = fetch_sequence(link, params, engine, &fetched);
        // An engine that plays no arp algorithm has nothing to fetch: no answer.
        r.link = r.sequence ? fetched : (fetched.ok() ? LinkResult{LinkStatus::timeout} : fetched);
    }
    arp_line(report, r.link, false);
    return r;
}

LinkResult preview_sequence(UsbLink& link, Reporter& report, const ArpTarget& target, const ArpSequence& sequence)
{
    return send_sequence(link, report, target, sequence, false);
}

LinkResult save_sequence(UsbLink& link, Reporter& report, const ArpTarget& target, const ArpSequence& sequence)
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
