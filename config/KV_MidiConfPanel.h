#pragma once
// The MIDI CC mapping panel: shown over the editor from the main menu. For
// now it is the framed, empty panel in its place; the mapping controls are
// built into it later.

#include <FL/Fl_Group.H>

namespace kv {

class KV_MidiConfPanel : public Fl_Group {
public:
    KV_MidiConfPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_MidiConfPanel() override;
    void draw() override;
};

} // namespace kv
