#pragma once
// The combo algorithm template chooser, shown over the Dashboard while the
// main window's templates button is on. Picking an item stores its index in
// template_index (0 is the "select a template" line, 1 to 3 the templates of
// preset/ComboTemplates.h) and hands it to on_pick; the owner then applies
// the template to the editor (KV_Parameters::apply_template), calls reset()
// and closes the panel.

#include "preset/ComboTemplates.h"

#include <FL/Fl_Group.H>

#include <functional>

class Fl_Choice;

namespace kv {

class KV_TemplatePanel : public Fl_Group {
public:
    KV_TemplatePanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_TemplatePanel() override;
    void draw() override;

    // The template last picked, or nullptr (none, or the "select" line).
    const ComboTemplate* chosen() const { return combo_template(template_index); }
    // Back to "    -   select a template   -" with nothing picked.
    void reset();

    // An item was picked: its index (-1 when the choice holds none).
    std::function<void(int item)> on_pick;

    Fl_Choice* template_choice = nullptr;
    int template_index = -1;

private:
    static void choice_cb(Fl_Widget* w, void* data);
};

} // namespace kv
