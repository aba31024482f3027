#pragma once
// The Arp Editor page's actions: a sequence chosen for an engine (the
// preset follows and the sequence is read back), a factory sequence loaded,
// a preview, and a save into the pedal's sequence library.

#include "ops/Arp.h"
#include "ops/Transfers.h"
#include "preset/PresetRecord.h"

namespace kv {

class Korvane;
enum class ArpAction : int;

class ArpController {
public:
    explicit ArpController(Korvane& window) : w_(window) {}

    // What the page asked for.
    void on_arp_editor(ArpAction action);

    // Sequences the pedal sent for the Dashboard's preset: each engine's
    // panel shows its own.
    void show_sequences(const ops::EngineSequences& sequences);
    // The page set up for the Dashboard's preset; inactive while the global
    // or MIDI settings are open.
    void prepare_arp_editor();
    // An engine running the Arpeggiator relabels its snap grid for the
    // scale in secondary parameter 2.
    void arp_follow_parameters();
    // Where an engine's shown sequence goes: the sequence the preset plays,
    // or for a save (for_save) the slot picked on its panel.
    ops::ArpTarget arp_target(Engine e, bool for_save = false) const;

private:
    Korvane& w_;
};

} // namespace kv
