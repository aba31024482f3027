#include "ops/Connect.h"

#include "ops/Failure.h"
#include "ops/Texts.h"
#include "preset/Catalogue.h"

#include <cstdio>
#include <cstring>

namespace kv::ops {

std::string PedalInfo::firmware_text() const
{
    char b[32];
    std::snprintf(b, sizeof b, "%d.%d.%d", major(), minor(), patch());
    return b;
}

std::optional<ArpSequence> fetch_sequence(UsbLink& link, const PresetParameters& params, Engine engine,
                                          LinkResult* result)
{
    if (result) *result = {};
    // Only the seven arp algorithms have sequences; a code beyond the
    // catalogue from a damaged preset asks nothing.
    const AlgorithmId algorithm = params.algorithm(engine);
    if (!is_arp_algorithm(algorithm)) return std::nullopt;
    const uint8_t selector = engine == Engine::X ? params.sp1_x : params.sp1_y;
    ArpSequence got;
    const LinkResult read = link.get_arp_data(uint8_t(arp_index(algorithm)), selector, uint8_t(index_of(engine)), &got);
    if (result) *result = read;
    if (!read.ok()) return std::nullopt;
    return got;
}

EngineSequences fetch_sequences(UsbLink& link, const PresetParameters& params)
{
    EngineSequences out;
    for (Engine e : {Engine::X, Engine::Y}) out[size_t(index_of(e))] = fetch_sequence(link, params, e);
    return out;
}

EverythingRead read_everything(UsbLink& link, Reporter& report, PresetImage image, double pause_seconds,
                               bool read_all)
{
    EverythingRead r;
    // Give the pedal a moment after the state query; no events meanwhile.
    if (pause_seconds > 0) link.pause(pause_seconds, false);

    const LocalTime when = report.now();
    if (read_all && !link.read_all(image)) {
        report_usb_problem(report, when);
        r.outcome = ReadOutcome::ReadAllFailed;
        return r;
    }

    if (const auto slot0 = link.read_preset(0)) {
        r.slot0 = *slot0;
    } else if (!link.get_pedal_state()) {
        // Neither the preset nor the state: the pedal has gone since Read All.
        report_usb_problem(report, report.now());
        r.outcome = ReadOutcome::PedalGone;
        return r;
    } else {
        // Read All has just delivered the same preset: show that copy
        // rather than whatever the failed read left in the buffer.
        r.slot0 = image_record(image.data(), 0);
        r.slot0_from_image = true;
        report.status("  Read operation from Preset 0 failed.", "  > Preset 0 is shown as Read All found it.");
    }
    r.sequences = fetch_sequences(link, r.slot0.parameters);
    r.outcome = ReadOutcome::Read;
    return r;
}

ConnectResult connect(UsbLink& link, Reporter& report, bool interactive, PresetImage image,
                      std::string (*access_hint)(), const char* not_found_offer)
{
    ConnectResult r;
    // Counted from the Connect button, not at start-up.
    if (interactive) report.status("  Connecting ...");
    else report.status_uncounted(report.now(), "  Connecting ...");

    std::string serial;
    if (!link.setup_device(serial)) {
        r.outcome = ConnectOutcome::NotFound;
        // Another program has it: the link has said so (its in-use notice).
        if (link.last_result().status == LinkStatus::in_use) return r;
        if (interactive && not_found_offer)
            r.offer_taken = report.choice(not_found_text(), "Close", not_found_offer, nullptr) == 1;
        else if (interactive)
            report.alert(not_found_text());
        report.status("  Pedal is not found.", "  > Connect your pedal to a USB port then click 'Connect'.");
        if (access_hint) {
            const std::string hint = access_hint();
            if (!hint.empty()) report.status(hint);
        }
        r.outcome = ConnectOutcome::NotFound;
        return r;
    }
    r.pedal.serial_number = serial;

    const std::optional<PedalState> state = link.get_pedal_state();
    if (!state) {
        report_usb_problem(report, report.now());
        r.outcome = ConnectOutcome::UsbProblem;
        return r;
    }
    r.pedal.firmware_version = state->firmware_version;
    r.pedal.pedal_mode = state->pedal_mode;

    if (!r.pedal.normal()) {
        // The update panel takes over; the caller shows it. No status line.
        r.outcome = ConnectOutcome::UpdateMode;
        return r;
    }
    if (!PedalInfo::supported(r.pedal.firmware_version)) {
        report.alert(too_old_text());
        r.outcome = ConnectOutcome::TooOld;
        return r;
    }

    r.read = read_everything(link, report, image);
    if (!r.read.ok()) {
        r.outcome = ConnectOutcome::ReadFailed;
        return r;
    }
    report.status("  Initialization OK - Firmware " + r.pedal.firmware_text() + ".", "  Ready.");
    report.progress(100, "Read complete", Bar::Level);
    r.outcome = ConnectOutcome::Online;
    return r;
}

} // namespace kv::ops
