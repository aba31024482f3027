#pragma once
// How the main window meets the desktop: the zoom it opens at and the keys
// that change it, the window's class, name and icons for docks and task
// bars, its title with the pedal's serial and the unsaved mark, and the
// keyboard shortcuts of the window's commands.

#include "settings/ViewZoom.h"

#include <string>

namespace kv {

class Korvane;

// The opening zoom for this screen and desktop (settings/ViewZoom.h). Opens the display.
ZoomChoice start_zoom(int base_w, int base_h);

// Zooms the window to `factor` (a step), keeps it on its screen and, with
// `remember`, writes the choice into the user's settings file.
void zoom_window(Korvane& window, double factor, bool remember);

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

// The main menu's "Keyboard" entry.
std::string keyboard_text();

// Tooltips on the controls that carry no text saying what they do (knobs,
// S/B switches, algorithm menus, the arp and expression sliders).
void set_tooltips(Korvane& window);

// What About says the program runs on: the platforms it is made for, and
// this computer's system, processor and toolkit as found now.
std::string system_text();

} // namespace kv
