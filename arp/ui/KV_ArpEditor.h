#pragma once
// The " Arp Editor " tab: the step sequences of the arp algorithms of the
// edited preset. For now the page shows which engines run an arp algorithm and
// the levels of the sequence each one plays; the editing controls are built
// into it later.

#include "arp/ArpSequence.h"
#include "preset/PresetRecord.h"
#include "widgets/TabPage.h"

class Fl_PNG_Image;

namespace kv {

class KV_ArpEditor : public TabPage {
public:
    KV_ArpEditor(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_ArpEditor() override;
    void draw() override;

    // Stores the engine's algorithm; an id of 30 or less (or out of range)
    // means the engine has no sequence to edit.
    void set_engine_algorithm(AlgorithmId id, Engine e);
    // Shows a sequence read from the pedal for the engine: the algorithm, the
    // sequence index (0 to 3, 4 = random) and the 32-byte record.
    void show_sequence(AlgorithmId id, int sequence_index, Engine e, const ArpSequence& seq);

    AlgorithmId engine_algorithm(Engine e) const { return side(e).algorithm; }
    bool has_sequence(Engine e) const { return side(e).has_sequence; }
    const ArpSequence& sequence(Engine e) const { return side(e).sequence; }
    // True when either engine runs an arp algorithm.
    bool arp_available() const;

private:
    struct Side {
        AlgorithmId algorithm = 0;
        bool has_sequence = false;
        int sequence_index = 0;
        ArpSequence sequence;
    };
    Side& side(Engine e) { return sides_[index_of(e)]; }
    const Side& side(Engine e) const { return sides_[index_of(e)]; }
    void draw_side(Engine e, int left, int top, int width);

    Side sides_[2];
    Fl_PNG_Image* alert_image_ = nullptr;   // shown while no engine runs an arp algorithm
};

} // namespace kv
