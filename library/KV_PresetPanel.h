#pragma once
// The offline preset library at the lower right of the main window: a list of
// the presets kept as files on the computer, "+" (save the edited preset),
// "X" (remove the selected one) and the number of presets in the library.
// The list is loaded from "presets.lst" at start-up. The files themselves are
// kept by `library` (library/core/OfflinePresets.h); the panel shows its
// entries and reports what the user did through on_action, whose owner
// (the main window) asks the questions and previews the picked preset.

#include "library/core/OfflinePresets.h"
#include "preset/PresetRecord.h"

#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_Item.H>

#include <functional>
#include <string>
#include <vector>

class Fl_Toggle_Button;
class Fl_Choice;
class Fl_Int_Input;

namespace kv {

class KV_PresetPanel : public Fl_Group {
public:
    // What on_action reports.
    enum class Action {
        Picked,          // load_selected ran: loaded_* hold the preset, or load_error says why not
        AddPressed,      // "+": open the save prompt
        RemovePressed,   // "X": remove the selected preset
    };

    KV_PresetPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_PresetPanel() override;
    void draw() override;

    // Reads the list file (in the presets folder): one full path of a ".lop"
    // file per line. A file that cannot be opened, or whose name line is
    // empty, is left out; names are cut to 38 characters. Shows the count.
    // Returns the number loaded. The list and each preset file go through
    // read_file_limited: a FIFO, a device or an oversized file is left out
    // and described in load_problems.
    int load_list(const std::string& list_path);

    // The items again from `library` (after a change), and the count.
    void refresh();
    // Shows preset_count in count_field.
    void show_count();
    // No item selected (a preset was read from the pedal or edited).
    void clear_selection();
    // Selects item `index` (nothing outside the list).
    void select(int index);
    int selected() const;

    // Reads the selected item's file into loaded_parameters and loaded_title
    // (or sets load_error), then reports Action::Picked. The callback of
    // preset_list.
    void load_selected();

    // Name and file of item i of the list, or empty.
    std::string name_of(int index) const;
    std::string path_of(int index) const;

    // The text the toolkit is given for a name: its label rules would take
    // "&" for a shortcut mark and "@" for a symbol, so both are doubled.
    static std::string item_label(const std::string& name);

    Fl_Toggle_Button* add_button = nullptr;
    Fl_Toggle_Button* remove_button = nullptr;
    Fl_Choice* preset_list = nullptr;
    Fl_Int_Input* count_field = nullptr;
    int preset_count = 0;
    PresetParameters loaded_parameters{};
    PresetTitle loaded_title{};

    // What the user did; the owner reads the panel's state for the details.
    std::function<void(Action)> on_action;
    std::string load_error;                   // after Picked: why nothing was loaded (empty: loaded)
    // "cannot read <path>: <reason>" for each file the last load_list refused
    // (missing files are not listed: they are left out quietly).
    std::vector<std::string> load_problems;
    OfflineLibrary library;

    static constexpr size_t kMaxNameLength = kMaxPresetNameLength;

private:
    // The drop-down's menu and the labels its items point to.
    std::vector<std::string> item_labels_;
    std::vector<Fl_Menu_Item> menu_items_;

    static void list_cb(Fl_Widget*, void* panel);
    static void add_cb(Fl_Widget*, void* panel);
    static void remove_cb(Fl_Widget*, void* panel);
};

} // namespace kv
