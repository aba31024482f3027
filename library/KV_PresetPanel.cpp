#include "library/KV_PresetPanel.h"
#include "widgets/SafeChoice.h"
#include "widgets/Zoom.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace kv {

KV_PresetPanel::KV_PresetPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    preset_list = new SafeChoice(x + 10, y + 10, 205, 24);
    preset_list->textsize(13);
    preset_list->callback(list_cb, this);
    add_button = new Fl_Toggle_Button(x + 220, y + 10, 22, 22, "+");
    add_button->labelfont(FL_HELVETICA_BOLD);
    add_button->labelsize(20);
    add_button->tooltip("add current settings to preset list");
    add_button->callback(add_cb, this);
    remove_button = new Fl_Toggle_Button(x + 247, y + 10, 22, 22, "X");
    remove_button->labelcolor(FL_DARK_RED);
    remove_button->labelfont(FL_HELVETICA_BOLD);
    remove_button->labelsize(14);
    remove_button->tooltip("remove from preset list");
    remove_button->callback(remove_cb, this);
    count_field = new Fl_Int_Input(x + 174, y + 35, 25, 22);
    count_field->box(FL_NO_BOX);
    count_field->textsize(14);
    count_field->value("0");
    count_field->clear_visible_focus();
    count_field->readonly(1);
    end();
}

KV_PresetPanel::~KV_PresetPanel() = default;

void KV_PresetPanel::draw()
{
    Fl_Group::draw();
    fl_font(FL_HELVETICA, zoomed_font(12));
    fl_color(FL_BLACK);
    // Ends where the count begins, a space before it at every zoom (text
    // widths do not scale exactly with the font).
    // With a wider font than the layout's the caption gets a smaller size
    // rather than pass the panel's edge.
    const char* caption = "Number of presets in library :";
    const int room = count_field->x() - std::max(3, zoomed(4)) - (x() + zoomed(8));
    Fl_Fontsize size = zoomed_font(12);
    while (size > 6 && fl_width(caption) > room) fl_font(FL_HELVETICA, --size);
    const int caption_w = int(fl_width(caption) + 0.5);
    fl_draw(caption, std::min(x() + zoomed(15), count_field->x() - caption_w - std::max(3, zoomed(4))), y() + zoomed(50));
}

std::string KV_PresetPanel::item_label(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '&' || c == '@') out += c;
        out += c;
    }
    return out;
}

int KV_PresetPanel::load_list(const std::string& list_path)
{
    const auto slash = list_path.rfind('/');
    library = OfflineLibrary(slash == std::string::npos ? std::string() : list_path.substr(0, slash + 1));
    load_problems = library.load();
    refresh();
    return int(library.size());
}

void KV_PresetPanel::refresh()
{
    // The whole menu at once: add() walks the menu for every item it adds
    // (quadratic in the list's length) and would read "/", "|", "&" and "_"
    // in a name. The items point into item_labels_, kept with the panel.
    // clear() lets go of a menu the widget did not make only through menu().
    preset_list->clear();
    preset_list->menu(nullptr);
    item_labels_.clear();
    item_labels_.reserve(library.size());
    for (const OfflineEntry& e : library.entries()) item_labels_.push_back(item_label(e.name));
    menu_items_.assign(item_labels_.size() + 1, Fl_Menu_Item{});
    for (size_t i = 0; i < item_labels_.size(); ++i) menu_items_[i].label(item_labels_[i].c_str());
    if (!item_labels_.empty()) preset_list->menu(menu_items_.data());
    preset_list->value(-1);   // menu() would show the first item as picked
    preset_count = int(library.size());
    show_count();
    redraw();
}

void KV_PresetPanel::show_count()
{
    count_field->value(std::to_string(preset_count).c_str());
    count_field->redraw();
}

void KV_PresetPanel::clear_selection()
{
    preset_list->value(-1);
    preset_list->redraw();
}

void KV_PresetPanel::select(int index)
{
    if (index < 0 || index >= preset_count) return;
    preset_list->value(index);
    preset_list->redraw();
}

int KV_PresetPanel::selected() const
{
    const int i = preset_list->value();
    return i >= 0 && i < preset_count ? i : -1;
}

void KV_PresetPanel::load_selected()
{
    const int i = selected();
    if (i < 0) return;
    const std::string path = path_of(i);
    const PresetFile f = read_preset_file(path);
    if (f.ok()) {
        loaded_parameters = f.record.parameters;
        loaded_title = f.record.title;
        load_error.clear();
    } else {
        load_error = preset_file_problem_text(f, path);
    }
    if (on_action) on_action(Action::Picked);
}

std::string KV_PresetPanel::name_of(int index) const
{
    if (index < 0 || size_t(index) >= library.size()) return {};
    return library.entries()[size_t(index)].name;
}

std::string KV_PresetPanel::path_of(int index) const
{
    if (index < 0 || size_t(index) >= library.size()) return {};
    return library.entries()[size_t(index)].path;
}

void KV_PresetPanel::list_cb(Fl_Widget*, void* panel) { static_cast<KV_PresetPanel*>(panel)->load_selected(); }

void KV_PresetPanel::add_cb(Fl_Widget*, void* panel)
{
    auto* p = static_cast<KV_PresetPanel*>(panel);
    if (p->on_action) p->on_action(Action::AddPressed);
    p->add_button->value(0);
}

void KV_PresetPanel::remove_cb(Fl_Widget*, void* panel)
{
    auto* p = static_cast<KV_PresetPanel*>(panel);
    if (p->on_action) p->on_action(Action::RemovePressed);
    p->remove_button->value(0);
}

} // namespace kv
