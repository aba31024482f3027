// The main menu (the Menu button): its entries as they stand now, what each
// one runs, and the About text.

#include "app/Korvane.h"

#include "app/Desktop.h"
#include "app/Dialogs.h"
#include "library/KV_TransportPanel.h"
#include "ops/Firmware.h"
#include "ops/Texts.h"
#include "platform/Platform.h"
#include "widgets/SafeChoice.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

namespace {

constexpr const char* kSoftwarePage = "https://www.brakwell.com/downloads/korvane";
constexpr const char* kContactPage = "https://www.brakwell.com/contact";
constexpr const char* kWarrantyPage = "https://www.brakwell.com/warranty";
constexpr const char* kMakerSite = "www.brakwell.com";

// A web page in the browser; when nothing could open one (no xdg-open, no
// browser found), the address and what opens it instead.
void open_page_or_say(const char* url)
{
    if (dialogs().open_page(url)) return;
    dialogs().message(std::string("No web browser could be started for\n  ") + url +
                      "\nInstall xdg-utils (sudo apt install xdg-utils) or open the address in a browser.");
}

// The information entries: 0 does nothing (headings), then About and the
// three web pages.
void menu_info_cb(Fl_Widget* w, void* data)
{
    const auto code = reinterpret_cast<intptr_t>(data);
    if (!w || code == 0) return;
    switch (code) {
    case 1: dialogs().message(Korvane::about_text()); break;
    case 2: open_page_or_say(kSoftwarePage); break;
    case 3: open_page_or_say(kContactPage); break;
    case 4: open_page_or_say(kWarrantyPage); break;
    case 5: dialogs().message(keyboard_text()); break;
    default: break;
    }
}

void menu_serial_cb(Fl_Widget*, void* data)
{
    const auto* serial = static_cast<const std::string*>(data);
    dialogs().message("Your pedal's serial number is : " + (serial ? *serial : std::string()) + " \n");
}

Korvane* menu_window(void* data) { return static_cast<Korvane*>(data); }

void menu_firmware_cb(Fl_Widget*, void* data)
{
    menu_window(data)->firmware_menu_backup();
    dialogs().message(ops::firmware_instructions_text());
}
void menu_factory_cb(Fl_Widget*, void* data) { menu_window(data)->factory_reset(); }
void menu_library_cb(Fl_Widget*, void* data) { menu_window(data)->update_library(); }
void menu_backup_cb(Fl_Widget*, void* data) { menu_window(data)->backup_presets(); }
void menu_restore_cb(Fl_Widget*, void* data) { menu_window(data)->restore_presets(); }
void menu_global_cb(Fl_Widget*, void* data) { menu_window(data)->open_global_settings(); }
void menu_midi_cb(Fl_Widget*, void* data) { menu_window(data)->open_midi_settings(); }

Fl_Menu_Item menu_item(const char* text, Fl_Callback* cb, void* data, int flags, Fl_Font font = FL_HELVETICA,
                       Fl_Fontsize size = 13)
{
    Fl_Menu_Item m{};
    m.text = text;
    m.shortcut_ = 0;
    m.callback_ = cb;
    m.user_data_ = data;
    m.flags = flags;
    m.labeltype_ = FL_NORMAL_LABEL;
    m.labelfont_ = font;
    m.labelsize_ = size > 0 ? zoomed_font(size) : size;
    m.labelcolor_ = FL_BLACK;
    return m;
}

} // namespace

void Korvane::menu_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->on_menu(); }

std::string Korvane::about_text()
{
    return std::string("  Korvane - version.2.5.1\n") +
           "  Editor and librarian for the Brakwell Tessivar.\n"
           "  \xC2\xA9 2026 Korvane project. Free software under the MIT licence.\n\n" + system_text() +
           "\n  Support : " + kSupportEmail + "\n" + "  Web : " + kMakerSite + "\n";
}

void Korvane::fill_main_menu(std::vector<Fl_Menu_Item>& items)
{
    // The pedal entries wait for a pedal: greyed until one has been found,
    // after Connect found none, and in update mode.
    const bool found = !session_.pedal.serial_number.empty();
    const int pedal = found && transport_panel->active() ? 0 : FL_MENU_INACTIVE;
    const int heading = FL_MENU_INACTIVE;
    const int separator = FL_MENU_INACTIVE | FL_MENU_DIVIDER;
    auto code = [](intptr_t c) { return reinterpret_cast<void*>(c); };
    items = {
        menu_item("         S O F T W A R E ", menu_info_cb, code(0), heading, FL_HELVETICA_BOLD_ITALIC),
        menu_item(" > About Korvane", menu_info_cb, code(1), 0),
        menu_item(" > Check for updates", menu_info_cb, code(2), 0),
        menu_item(" > Report a problem", menu_info_cb, code(3), 0),
        menu_item(" > Register your pedal", menu_info_cb, code(4), 0),
        menu_item("", nullptr, nullptr, separator, FL_HELVETICA, 0),
        menu_item("                   P E D A L", menu_info_cb, code(0), heading, FL_HELVETICA_BOLD_ITALIC),
        menu_item(" > Serial Number", menu_serial_cb, &session_.pedal.serial_number, pedal),
        menu_item(" > Update Firmware", menu_firmware_cb, this, pedal),
        menu_item(" > Factory Reset", menu_factory_cb, this, pedal),
        menu_item(" > Update Library", menu_library_cb, this, pedal),
        menu_item(" > Backup", menu_backup_cb, this, pedal),
        menu_item(" > Restore", menu_restore_cb, this, pedal),
        menu_item("", nullptr, nullptr, separator, FL_HELVETICA, 0),
        menu_item("            CONFIG | EDIT", menu_info_cb, code(0), heading, FL_HELVETICA_BOLD_ITALIC),
        menu_item(" > Global Settings", menu_global_cb, this, pedal),
        menu_item(" > MIDI Settings", menu_midi_cb, this, pedal),
        menu_item("", nullptr, nullptr, separator, FL_HELVETICA, 0),
        // Next to Quit, so that the entries above keep their places for
        // those who pick them by keys.
        menu_item(" > Keyboard", menu_info_cb, code(5), 0),
        menu_item(" > Quit", quit_cb, this, 0),
        Fl_Menu_Item{},
    };
}

std::vector<Korvane::MenuEntry> Korvane::main_menu_entries() const
{
    std::vector<Fl_Menu_Item> items;
    const_cast<Korvane*>(this)->fill_main_menu(items);
    std::vector<MenuEntry> out;
    for (const auto& m : items)
        if (m.text) out.push_back({m.text, m.active() != 0});
    return out;
}

bool Korvane::pick_menu_entry(const std::string& text)
{
    std::vector<Fl_Menu_Item> items;
    fill_main_menu(items);
    for (const auto& m : items) {
        if (!m.text || text != m.text) continue;
        if (!m.active() || !m.callback()) return false;
        m.do_callback(menu_button, m.user_data());
        return true;
    }
    return false;
}

void Korvane::on_menu()
{
    if (session_.busy > 0) return;
    // Built afresh, so that the pedal entries show the state of now. The
    // pop-up needs the same guard against the toolkit's menu fault as the
    // preset selector (installed once for the process).
    install_menu_guard();
    std::vector<Fl_Menu_Item> items;
    fill_main_menu(items);
    const Fl_Menu_Item* picked = items.front().popup(Fl::event_x(), Fl::event_y(), nullptr, nullptr, nullptr);
    if (picked && picked->callback()) picked->do_callback(menu_button, picked->user_data());
}

} // namespace kv
