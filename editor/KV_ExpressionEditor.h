#pragma once
// The " Expression " tab: the expression pedal and ramp mapping of the edited
// preset. For now the page shows the heel and toe levels of each knob as the
// preset holds them; the editing controls are built into it later.

#include "preset/PresetRecord.h"
#include "widgets/TabPage.h"

namespace kv {

class KV_ExpressionEditor : public TabPage {
public:
    KV_ExpressionEditor(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_ExpressionEditor() override;
    void draw() override;

    // Takes the mapping bytes (focus, rotor, expression levels) and the two
    // algorithm codes of the edited preset. Sends nothing.
    void load_mapping(const PresetParameters& p);
    const PresetParameters& mapping() const { return mapping_; }
    bool loaded() const { return loaded_; }

private:
    PresetParameters mapping_{};
    bool loaded_ = false;
};

} // namespace kv
