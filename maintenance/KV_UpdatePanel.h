#pragma once
// The firmware update panel, shown over the editor when the pedal is found in
// update mode. It tells which firmware the pedal reports and, once a package
// has been read, its version and release notes; browsing for a package,
// transferring it and leaving update mode are run by the main window, which
// hears the three buttons through on_request (the two toggles spring back
// once it has run).

#include <FL/Fl_Group.H>

#include <functional>
#include <string>
#include <vector>

class Fl_Toggle_Button;
class Fl_Button;
class Fl_Box;
class Fl_PNG_Image;
class Fl_Text_Buffer;
class Fl_Text_Display;

namespace kv {

// Which of the panel's buttons was pressed.
enum class UpdateRequest { browse, update_now, cancel };

class KV_UpdatePanel : public Fl_Group {
public:
    KV_UpdatePanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_UpdatePanel() override;
    void draw() override;

    // Shows "major.minor.patch" as the installed version (at most 15 characters).
    void set_installed_version(int major, int minor, int patch);
    const char* installed_text() const { return installed_version; }

    // A package was read: its version ("Firmware 2.3.5") and release notes
    // are shown instead of the icon, and "Update Now" is offered for it.
    void show_package(const std::string& path, const std::string& version_text, const std::vector<std::string>& notes);
    // No package is offered any longer ("Update Now" inactive).
    void forget_package();
    // The package "Update Now" sends; empty when none is offered.
    const std::string& package_path() const { return package_path_; }
    // Shown again by the connect sequence: Cancel works, and "Update Now"
    // when a package is offered.
    void ready_buttons();

    // Where the chooser starts: the user's downloads folder.
    static std::string chooser_directory();
    static constexpr const char* kChooserTitle = "Browse Firmware (.fdt)";
    static constexpr const char* kChooserFilter = "*.fdt";

    // "Browse", "Update Now" or "Cancel" was pressed.
    std::function<void(UpdateRequest)> on_request;

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
    // Room for any version a package can name ("Firmware 7.15.255").
    char package_version[24] = {};

private:
    std::string package_path_;
    static void button_cb(Fl_Widget* w, void* data);
};

} // namespace kv
