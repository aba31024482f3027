#pragma once
// The prompt that "+" opens: save the edited preset on the computer under a
// typed name (option 1) or add presets from existing files (option 2). Hidden
// until "+" is pressed. It only collects the choice: on_action tells the
// owner (the main window) which button was pressed, and the owner does the
// file work, asks the questions and closes it.

#include <FL/Fl_Group.H>

#include <functional>
#include <string>

class Fl_Toggle_Button;
class Fl_Button;

namespace kv {

class TextInput;

class KV_PresetPrompt : public Fl_Group {
public:
    enum class Action {
        Save,          // "Save" with a name typed since the prompt opened
        SaveUntyped,   // "Save" with nothing typed
        AddFiles,      // "Add preset from file(s)"
        Tips,          // "Tips"
        Cancel,        // "Cancel"
    };

    KV_PresetPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_PresetPrompt() override;
    void draw() override;

    // Shows the prompt with the hint in the name field (italic, size 12); the
    // hint does not count as a typed name.
    void open();

    static constexpr const char* kNameHint = "     type in the desired preset name";

    Fl_Toggle_Button* save_button = nullptr;
    Fl_Button* add_files_button = nullptr;
    Fl_Button* tips_button = nullptr;
    Fl_Button* cancel_button = nullptr;
    TextInput* name_input = nullptr;
    int file_index = -1;   // which chosen file is being added
    std::function<void(Action)> on_action;
    bool name_typed = false;   // the user typed into name_input since open()

private:
    void report(Action a);
    static void save_cb(Fl_Widget*, void* prompt);
    static void add_files_cb(Fl_Widget*, void* prompt);
    static void tips_cb(Fl_Widget*, void* prompt);
    static void cancel_cb(Fl_Widget*, void* prompt);
    static void name_cb(Fl_Widget*, void* prompt);
};

} // namespace kv
