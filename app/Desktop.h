#pragma once
// How the main window meets the desktop: the zoom it opens at and the keys
// that change it, the window's class, name and icons for docks and task
// bars, its title with the pedal's serial and the unsaved mark, and the
// keyboard shortcuts of the window's commands.

#include "settings/ViewZoom.h"

#include <string>

class Fl_Window;

namespace kv {

class Korvane;

// The opening zoom for this screen and desktop (settings/ViewZoom.h). Opens the display.
ZoomChoice start_zoom(int base_w, int base_h);

// Zooms the window to `factor` (a step), keeps it on its screen and, with
// `remember`, writes the choice into the user's settings file.
void zoom_window(Korvane& window, double factor, bool remember);
// After the user sized the window (dragging its edge, maximising): the
// content takes the largest zoom step that fits the window, centred in it,
// and the choice is remembered as a key's is.
void fit_zoom_to_window(Korvane& window);

// Shows a dialog window as a desktop expects one: typed as a dialog
// (_NET_WM_WINDOW_TYPE_DIALOG) and transient for `owner` (when given), so
// the window manager keeps it over the main window and out of the task bar.
void show_as_dialog(Fl_Window& dialog, Fl_Window* owner);

// The class and name the desktop links the window to its menu entry by
// ("korvane", as StartupWMClass), and the window's icons. Before show().
void set_desktop_identity(Korvane& window);

// "Brakwell - Korvane 2.5.1", then " - " and the serial when a pedal is
// connected; a leading "*" while the edit is not saved.
std::string window_title(const std::string& serial, bool unsaved);
// Puts that title on the window when it changed.
void refresh_window_title(Korvane& window, bool unsaved);

// The window's own shortcuts, taken before the focused widget sees the key
// (so they work while a knob has the focus): Ctrl+S WRITE, Ctrl+R Connect,
// F10 Menu, Ctrl+D Compare, Ctrl+Plus / Ctrl+Minus / Ctrl+0 the zoom. True
// when the event was one of them.
bool window_shortcut(Korvane& window, int event);

// The keyboard focus framed in the accent colour, whatever holds it (a
// button, a menu, a field, the selected tab's label); drawn over the window
// after everything else, while the focus came from the keyboard.
void draw_keyboard_focus(Korvane& window);

// The main menu's "Keyboard" entry.
std::string keyboard_text();

// Tooltips on the controls that carry no text saying what they do (knobs,
// S/B switches, algorithm menus, the arp and expression sliders).
void set_tooltips(Korvane& window);

// Has the toolkit read its global options (tooltips, visible focus, ...)
// once, without writing a file into the home folder: FLTK 1.3 creates
// ~/.fltk/fltk.org/fltk.prefs the first time it reads them, and its user
// preferences folder is fixed at $HOME/.fltk. A user's own file there is
// read as usual. Before the first window.
void read_toolkit_options();

// What About says the program runs on: the platforms it is made for, and
// this computer's system, processor and toolkit as found now.
std::string system_text();

} // namespace kv
