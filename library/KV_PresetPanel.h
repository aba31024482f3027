#pragma once
// The offline preset library at the lower right of the main window: a list of
// the presets kept as files on the computer, "+" (save the edited preset),
// "X" (remove the selected one) and the number of presets in the library.
// The list is loaded from "presets.lst" at start-up; saving, adding, removing
// and picking are handled by the main window through the panel's callback.

#include "preset/PresetRecord.h"

#include <FL/Fl_Group.H>

#include <string>
#include <vector>

class Fl_Toggle_Button;
class Fl_Choice;
class Fl_Int_Input;

namespace kv {

class KV_PresetPanel : public Fl_Group {
public:
    KV_PresetPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_PresetPanel() override;
    void draw() override;

    // Reads the list file: one full path of a ".lop" file per line. A file
    // that cannot be opened, or whose name line is empty, is left out. Names
    // are cut to 38 characters. Shows the count. Returns the number loaded.
    // The list and each preset file go through read_file_limited: a FIFO, a
    // device or an oversized file is left out and described in load_problems.
    int load_list(const std::string& list_path);

    // "cannot read <path>: <reason>" for each file the last load_list refused
    // (missing files are not listed: they are left out quietly).
    std::vector<std::string> load_problems;

    // Shows preset_count in count_field.
    void show_count();

    // Name of item i of the list, or empty.
    std::string name_of(int index) const;
    // File path of item i of the list, or empty.
    std::string path_of(int index) const;

    Fl_Toggle_Button* add_button = nullptr;
    Fl_Toggle_Button* remove_button = nullptr;
    Fl_Choice* preset_list = nullptr;
    Fl_Int_Input* count_field = nullptr;
    int preset_count = 0;
    PresetParameters loaded_parameters{};
    PresetTitle loaded_title{};

    static constexpr size_t kMaxNameLength = 38;

private:
    // Adds a name to the list as literal text (menu special characters escaped).
    void add_item(const std::string& name, const std::string& path);

    std::vector<std::string> names_;
    std::vector<std::string> paths_;
};

} // namespace kv
