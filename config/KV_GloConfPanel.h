#pragma once
// The global settings panel: shown over the editor from the main menu. For
// now it is the framed, empty panel in its place; the settings controls are
// built into it later.

#include <FL/Fl_Group.H>

namespace kv {

class KV_GloConfPanel : public Fl_Group {
public:
    KV_GloConfPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_GloConfPanel() override;
    void draw() override;
};

} // namespace kv
