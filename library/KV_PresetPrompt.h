#pragma once
// The prompt that "+" opens: save the edited preset on the computer under a
// typed name (option 1) or add presets from existing files (option 2). Hidden
// until "+" is pressed; the main window does the file work on its callback.

#include <FL/Fl_Group.H>

class Fl_Toggle_Button;
class Fl_Button;
class Fl_Input;

namespace kv {

class KV_PresetPrompt : public Fl_Group {
public:
    KV_PresetPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_PresetPrompt() override;
    void draw() override;

    Fl_Toggle_Button* save_button = nullptr;
    Fl_Button* add_files_button = nullptr;
    Fl_Button* tips_button = nullptr;
    Fl_Button* cancel_button = nullptr;
    Fl_Input* name_input = nullptr;
    int file_index = -1;
};

} // namespace kv
