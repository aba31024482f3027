#pragma once
// What the window and the entry point need from the system they run on,
// implemented once per system and chosen by the build:
// DesktopSystem_posix.cpp (Linux desktops on X11) and DesktopSystem_win32.cpp
// (Windows). Nothing else in app/ asks which system it is on.

#include "settings/ViewZoom.h"

#include <string>
#include <vector>

class Fl_Window;

namespace kv {

// The program's arguments as UTF-8 (Windows hands them over as UTF-16).
std::vector<std::string> program_arguments(int argc, char** argv);

// Before a command runs: its output goes to the console it was typed in.
// (A Windows window program has no console of its own; it takes its
// parent's, when there is one.)
void attach_command_console();

// Console lines show at once, even when standard output is a pipe.
void console_lines_at_once();

// Connects the toolkit to the desktop. False when there is none (on X11: no
// display to open); the caller says so.
bool open_desktop();

// The desktop's scale as this system states it, into the inputs of the
// opening zoom: GDK_SCALE, Xft.dpi and the screen's resolution on X11, the
// monitor's DPI on Windows.
void read_desktop_scale(ZoomInputs& in);

// Takes the window's own map and expose events from the desktop (nothing
// else: no input, no timer runs) until it has been drawn, for at most half a
// second, then draws it. The start-up connect runs before the event loop,
// and a window not yet drawn would stay blank all that time.
void paint_before_waiting(Fl_Window& window);

// Tells the desktop that `dialog`, just shown, is a dialog of `owner` (on
// X11: transient for it and typed as a dialog, in the same batch of requests
// as its map, so a window manager reads them when it places it).
void mark_as_dialog(Fl_Window& dialog, Fl_Window* owner);

// For About: the systems the program is made for, and this computer's
// system and processor ("Debian GNU/Linux 12 (bookworm), x86_64").
std::string made_for_text();
std::string this_computer_text();
// How the pedal is reached on this system, for About.
std::string pedal_access_text();

} // namespace kv
