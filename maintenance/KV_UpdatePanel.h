#pragma once
// The firmware update panel, shown over the editor when the pedal is found in
// update mode. It tells which firmware the pedal reports; browsing for a
// package and transferring it are run by the main window on the panel's
// callback (the owner tells the three buttons apart by the two toggles).

#include <FL/Fl_Group.H>

#include <string>

class Fl_Toggle_Button;
class Fl_Button;
class Fl_Box;
class Fl_PNG_Image;
class Fl_Text_Buffer;
class Fl_Text_Display;

namespace kv {

class KV_UpdatePanel : public Fl_Group {
public:
    KV_UpdatePanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_UpdatePanel() override;
    void draw() override;

    // Shows "major.minor.patch" as the installed version (at most 15 characters).
    void set_installed_version(int major, int minor, int patch);
    const char* installed_text() const { return installed_version; }

    Fl_Toggle_Button* update_button = nullptr;
    Fl_Toggle_Button* cancel_button = nullptr;
    Fl_Button* browse_button = nullptr;
    Fl_Box* icon_box = nullptr;
    Fl_Box* installed_box = nullptr;
    Fl_Box* package_box = nullptr;
    Fl_Text_Buffer* notes_text = nullptr;
    Fl_Text_Display* notes_display = nullptr;
    Fl_PNG_Image* icon_image = nullptr;
    char installed_version[16] = {};
    char package_version[16] = {};

private:
    static void button_cb(Fl_Widget* w, void* data);
};

} // namespace kv
