#pragma once
// The combo algorithm template chooser, shown over the editor while the
// templates button is on. Picking a template runs the panel's callback with
// template_index set; the main window applies it.

#include <FL/Fl_Group.H>

class Fl_Choice;

namespace kv {

class KV_TemplatePanel : public Fl_Group {
public:
    KV_TemplatePanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_TemplatePanel() override;
    void draw() override;

    Fl_Choice* template_choice = nullptr;
    int template_index = -1;

private:
    static void choice_cb(Fl_Widget* w, void* data);
};

} // namespace kv
