#include "app/ArpController.h"

#include "app/Korvane.h"
#include "app/WindowReporter.h"
#include "arp/ArpSequence.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_Parameters.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "library/KV_TransportPanel.h"
#include "link/ui/KV_UsbController.h"
#include "ops/Arp.h"
#include "platform/DataPaths.h"
#include "preset/Catalogue.h"

#include <algorithm>

namespace kv {

namespace {

// How long the page shows that a sequence was saved.
constexpr double kArpSavedShown = 1.0;

} // namespace

void ArpController::on_arp_editor(ArpAction action)
{
    const Engine e = engine_of(action);
    KV_ArpCore& panel = w_.arp_editor->core(e);

    // A factory sequence is loaded into the panel with or without a pedal;
    // only hearing it needs one.
    if (action == ArpAction::FactoryX || action == ArpAction::FactoryY) {
        const auto seq = ops::factory_sequence(w_.arp_editor->factory_table(), *w_.session_.reporter, panel.algorithm(),
                                               w_.arp_editor->factory_number() - 1, data_dir());
        if (!seq) {
            w_.arp_editor->factory_not_loaded();
            return;
        }
        w_.arp_editor->load_factory(e, *seq);
    }
    // Offline the panel keeps the edit; nothing is sent and nothing is said.
    if (!w_.transport_panel->active() || w_.session_.busy > 0) {
        w_.note_edit();
        return;
    }

    Korvane::Exchange exchange(w_);
    switch (action) {
    case ArpAction::SequenceX:
    case ArpAction::SequenceY: {
        // The preset now plays the chosen sequence: the Dashboard's block
        // follows and the pedal is told before the sequence is read back.
        PresetParameters& p = w_.dashboard->params;
        uint8_t& selector = e == Engine::X ? p.sp1_x : p.sp1_y;
        const uint8_t before = selector;
        const int position_before = code_to_position(p.algorithm(e), 0, before);
        const int chosen = std::max(panel.sequence_index(), 0);
        // The Dashboard's SP1 list shows the sequence too; it sends nothing.
        w_.dashboard->set_option(e, 0, code_to_position(p.algorithm(e), 0, arp_selector(chosen)));
        const ops::SequenceFetch r = ops::fetch_chosen_sequence(*w_.session_.link, *w_.session_.reporter, p, e);
        if (r.ok()) {
            w_.arp_editor->sequence_read(e, *r.sequence);
        } else {
            // Nothing came back: the panel and the preset stay on the sequence
            // shown, and the pedal, which may already play the new one, is
            // switched back to it.
            w_.dashboard->set_option(e, 0, position_before);
            selector = before;
            w_.arp_editor->sequence_not_read(e);
            (void)w_.usb->change_core(p);
        }
        w_.dashboard->redraw();
        break;
    }
    case ArpAction::PreviewX:
    case ArpAction::PreviewY:
    case ArpAction::FactoryX:
    case ArpAction::FactoryY:
        ops::preview_sequence(*w_.session_.link, *w_.session_.reporter, arp_target(e), panel.record());
        break;
    case ArpAction::SaveX:
    case ArpAction::SaveY: {
        // The pedal's library changes: the main controls wait for it.
        Korvane::WriteGuard writing(w_);
        const Korvane::Locked locked = w_.lock_main_controls();
        const LinkResult saved = ops::save_sequence(*w_.session_.link, *w_.session_.reporter, arp_target(e, true), panel.record());
        w_.unlock(locked);
        if (saved.ok()) {
            w_.arp_editor->show_saved(true);
            w_.redraw();
            w_.usb->pause(kArpSavedShown, true);
            w_.arp_editor->show_saved(false);
            w_.arp_editor->reset_factory_choice();
        }
        break;
    }
    }
    w_.note_edit();
    w_.redraw();
}

void ArpController::show_sequences(const ops::EngineSequences& sequences)
{
    const PresetParameters& p = w_.dashboard->params;
    for (Engine e : {Engine::X, Engine::Y}) {
        const auto& seq = sequences[size_t(index_of(e))];
        const AlgorithmId id = p.algorithm(e);
        if (!is_arp_algorithm(id)) continue;   // no sequence, or one asked for by a tempo algorithm
        const uint8_t selector = e == Engine::X ? p.sp1_x : p.sp1_y;
        const int position = code_to_position(id, 0, selector);
        if (!seq) {
            // Asked for and not sent: the page must not pass off what it
            // showed before as the pedal's (offline nothing was asked).
            if (position < KV_ArpCore::kRandomSequence && w_.session_.online && w_.transport_panel->active()) {
                w_.arp_editor->sequence_unknown(id, e);
                w_.status(std::string("  Arp sequence of ") + (e == Engine::X ? "DSP-X" : "DSP-Y") +
                              " could not be read.",
                          "  > Editing it is off until it is read: click a sequence button on the Arp Editor page.");
            }
            continue;
        }
        w_.arp_editor->show_sequence(id, position, e, *seq);
    }
}

void ArpController::prepare_arp_editor()
{
    w_.arp_editor->prepare(w_.dashboard->params);
    if (w_.glo_conf_panel->visible() || w_.midi_conf_panel->visible()) w_.arp_editor->deactivate();
}

void ArpController::arp_follow_parameters()
{
    const PresetParameters& p = w_.dashboard->params;
    if (p.algorithm_x == kAlgorithmArpeggiator) w_.arp_editor->set_scale(Engine::X, p.sp2_x);
    if (p.algorithm_y == kAlgorithmArpeggiator) w_.arp_editor->set_scale(Engine::Y, p.sp2_y);
}

ops::ArpTarget ArpController::arp_target(Engine e, bool for_save) const
{
    const PresetParameters& p = w_.dashboard->params;
    ops::ArpTarget t;
    t.engine = e;
    t.algorithm = w_.arp_editor->core(e).algorithm();
    const int picked = for_save ? w_.arp_editor->picked_sequence(e) : -1;
    t.selector = picked >= 0 ? uint8_t(arp_selector(picked)) : (e == Engine::X ? p.sp1_x : p.sp1_y);
    return t;
}

} // namespace kv
