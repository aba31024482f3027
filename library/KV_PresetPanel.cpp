#include "library/KV_PresetPanel.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

#include "platform/SafeFile.h"

namespace kv {

KV_PresetPanel::KV_PresetPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    preset_list = new Fl_Choice(x + 10, y + 10, 205, 24);
    preset_list->textsize(13);
    add_button = new Fl_Toggle_Button(x + 220, y + 10, 22, 22, "+");
    add_button->labelfont(FL_HELVETICA_BOLD);
    add_button->labelsize(20);
    add_button->tooltip("add current settings to preset list");
    remove_button = new Fl_Toggle_Button(x + 247, y + 10, 22, 22, "X");
    remove_button->labelcolor(FL_DARK_RED);
    remove_button->labelfont(FL_HELVETICA_BOLD);
    remove_button->labelsize(14);
    remove_button->tooltip("remove from preset list");
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
    fl_font(FL_HELVETICA, 12);
    fl_color(FL_BLACK);
    fl_draw("Number of presets in library : ", x() + 15, y() + 50);
}

void KV_PresetPanel::add_item(const std::string& name, const std::string& path)
{
    std::string escaped;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == '&' || c == '_') escaped += '\\';
        escaped += c;
    }
    preset_list->add(escaped.c_str());
    names_.push_back(name);
    paths_.push_back(path);
    ++preset_count;
}

int KV_PresetPanel::load_list(const std::string& list_path)
{
    int loaded = 0;
    load_problems.clear();
    // Neither the list nor a file it names may block the start or flood
    // memory: both go through the limited reader. A missing file is the
    // ordinary case (first start, a preset deleted by hand) and stays quiet.
    const FileRead list = read_file_limited(list_path, kListFileLimit);
    if (!list) {
        if (list.error != FileError::NotFound) load_problems.push_back(read_failure_message(list_path, list.error));
    } else {
        for (std::string_view entry : split_lines(list.text())) {
            if (entry.empty()) continue;
            const std::string line(entry);
            const FileRead preset = read_file_limited(line, kPresetFileLimit);
            if (!preset) {
                if (preset.error != FileError::NotFound) load_problems.push_back(read_failure_message(line, preset.error));
                continue;
            }
            const auto lines = split_lines(preset.text());
            if (lines.empty()) continue;
            std::string name(lines.front());
            if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
            if (name.empty()) continue;
            add_item(name, line);
            ++loaded;
        }
    }
    show_count();
    redraw();
    return loaded;
}

void KV_PresetPanel::show_count()
{
    count_field->value(std::to_string(preset_count).c_str());
    count_field->redraw();
}

std::string KV_PresetPanel::name_of(int index) const
{
    if (index < 0 || size_t(index) >= names_.size()) return {};
    return names_[size_t(index)];
}

std::string KV_PresetPanel::path_of(int index) const
{
    if (index < 0 || size_t(index) >= paths_.size()) return {};
    return paths_[size_t(index)];
}

} // namespace kv
