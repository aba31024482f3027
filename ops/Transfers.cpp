#include "ops/Transfers.h"

#include "ops/Failure.h"
#include "ops/Texts.h"
#include "preset/Catalogue.h"

#include <cstring>

namespace kv::ops {

namespace {

constexpr double kOfflinePreviewGap = 0.05;   // between the four commands of an offline preview

void parameter_change_line(Reporter& report, const LinkResult& sent)
{
    report.status(sent.ok() ? "  parameter change ok." : "  parameter change OFFLINE.");
}

} // namespace

SlotRead read_slot(UsbLink& link, Reporter& report, int slot)
{
    SlotRead r;
    const LocalTime when = report.now();
    if (const auto record = link.read_preset(slot)) {
        r.ok = true;
        r.record = *record;
        r.sequences = fetch_sequences(link, r.record.parameters);
        report.status(when, "  Read operation from Preset " + std::to_string(slot + 1) + " OK.",
                      "  > Param setting as was saved in your pedal is now displayed.");
        report.progress(0, "Read complete", Bar::Level);
    } else {
        report_failure(report, when,
                       {.alert = read_write_failed_text(),
                        .first = "  Read operation failed.",
                        .second = kNoChangesLine,
                        .label = "Read error",
                        .value = 0});
    }
    report.progress(0, "r e a d y", Bar::Level);
    return r;
}

namespace {

// One Store preset and the read-back of the 47-byte record: the programs are
// echoed and compared by the store itself, the 48-byte header is not.
void store_and_read_back(UsbLink& link, int slot, const EditedPreset& p, StoreResult& r)
{
    r.read_back_failed = false;
    r.link = link.store_preset(slot, p.parameters, p.title, p.program_x, p.program_y);
    if (!r.link.ok()) return;
    PresetRecord sent;
    sent.parameters = p.parameters;
    sent.title = p.title;
    const std::optional<PresetRecord> back = link.read_preset(slot);
    if (!back) {
        // Not retried: a read-back that does not come fails as a timeout does.
        r.link = link.last_result();
        r.read_back_failed = true;
    } else if (std::memcmp(back->data(), sent.data(), kPresetRecordSize) != 0) {
        r.link = {LinkStatus::echo_mismatch, FT_OK, uint32_t(kPresetRecordSize), 0};
        r.read_back_failed = true;
    }
}

} // namespace

StoreResult store_preset(UsbLink& link, int slot, const EditedPreset& p)
{
    StoreResult r;
    store_and_read_back(link, slot, p, r);
    if (r.link.status == LinkStatus::echo_mismatch) {
        link.console("--> Auto-retry triggered.\n");
        r.retried = true;
        store_and_read_back(link, slot, p, r);
        if (r.link.ok()) link.console("--> Auto-retry successful.\n");
    }
    return r;
}

StoreResult write_slot(UsbLink& link, Reporter& report, int slot, const EditedPreset& preset)
{
    const LocalTime when = report.now();
    const StoreResult r = store_preset(link, slot, preset);
    if (r.ok()) {
        report.status(when, "  Write (Store) operation successful.", "  > Param setting as displayed has been saved to pedal.");
        report.progress(100, "Write complete", Bar::Level);
    } else {
        // A store that failed twice, or once without a retry, is a failure:
        // the dialog first, then the lines.
        const std::string damaged =
            "  > Preset " + std::to_string(slot + 1) + " may hold a damaged preset: store it again.";
        report_failure(report, when,
                       {.alert = read_write_failed_text(),
                        .first = "   Write operation failed.",
                        // Part of the preset may have reached the slot: never "No changes".
                        .second = damaged,
                        .label = "Write error"});
    }
    return r;
}

PreviewResult preview_edit(UsbLink& link, Reporter& report, PreviewRequest request, const EditedPreset& p)
{
    using enum PreviewRequest;
    PreviewResult r;
    switch (request) {
    case program_x:
        r.link = link.write_data(p.program_x, 0);
        break;
    case program_y:
        r.link = link.write_data(p.program_y, 1);
        break;
    case sequence_x:
    case sequence_y: {
        const bool x = request == sequence_x;
        // The algorithm index is sent as the editor holds it; the pedal
        // answers only for arp algorithms.
        const uint8_t algorithm = x ? p.parameters.algorithm_x : p.parameters.algorithm_y;
        const uint8_t selector = x ? p.parameters.sp1_x : p.parameters.sp1_y;
        ArpSequence got;
        r.link = link.get_arp_data(uint8_t(algorithm - kFirstArpAlgorithm), selector, x ? 0 : 1, &got);
        if (r.link.ok()) r.sequence = got;
        break;
    }
    case parameters:
    default:
        r.link = link.change_core(p.parameters);
        break;
    }
    parameter_change_line(report, r.link);
    return r;
}

LinkResult preview_parameters(UsbLink& link, Reporter& report, const PresetParameters& parameters)
{
    const LinkResult sent = link.change_core(parameters);
    parameter_change_line(report, sent);
    return sent;
}

EngineSequences preview_offline(UsbLink& link, const EditedPreset& p)
{
    link.change_core(p.parameters);
    link.pause(kOfflinePreviewGap, false);
    link.write_data(p.program_x, 0);
    link.pause(kOfflinePreviewGap, false);
    link.change_core(p.parameters);
    link.pause(kOfflinePreviewGap, false);
    link.write_data(p.program_y, 1);
    return fetch_sequences(link, p.parameters);
}

void preview_added(UsbLink& link, const EditedPreset& p)
{
    link.change_core(p.parameters);
    link.pause(kOfflinePreviewGap, false);
    link.write_data(p.program_y, 1);
    link.pause(kOfflinePreviewGap, false);
    link.change_core(p.parameters);
    link.pause(kOfflinePreviewGap, false);
    link.write_data(p.program_x, 0);
}

} // namespace kv::ops
