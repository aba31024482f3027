#pragma once
// A drop-down choice whose pop-up menu cannot crash the program, and the
// process-wide guard that makes every toolkit menu safe.
//
// The fault: FLTK 1.3.8's menu pop-up (Fl_Menu.cxx) marks "no item" with menu
// number -1 once the pointer moves outside its menus. A BackSpace or
// Shift+Tab then (or Up, after a Tab that found nothing to select) steps
// backward through menu -1 and reads the menu-window pointer stored before
// its array: a SEGV in menuwindow::early_hide_handle. Any Fl_Choice,
// Fl_Menu_Button or Fl_Menu_Item::popup is affected; later FLTK releases
// return early for menu -1, which leaves those keys doing nothing.
//
// The guard sees every event before the toolkit dispatches it (through
// Fl::event_dispatch). While a pop-up menu holds the grab, it follows the
// pointer: once the pointer has been anywhere but over an item of an open
// menu, Up, BackSpace and Shift+Tab are dropped (exactly what the fixed
// toolkit does with them there) until the pointer rests on an item again.
// Everything else passes unchanged, so the menus look and behave as before.
// Windows the guard cannot recognise as menus count as "not over an item":
// the guard errs on the side of dropping a key, never of passing a bad one.

#include <FL/Fl_Choice.H>

namespace kv {

// Installs the guard once for the process; later calls do nothing. Chains to
// a dispatch function installed before it.
void install_menu_guard();

// Keys the guard has dropped so far (for tests).
int menu_guard_dropped_keys();

// An Fl_Choice that installs the guard when it is built. Items, values,
// callbacks and looks are the toolkit's own, except that away from 100 %
// its arrow box grows with the window's zoom (the toolkit keeps it at 20
// pixels at most).
class SafeChoice : public Fl_Choice {
public:
    SafeChoice(int x, int y, int w, int h, const char* label = nullptr) : Fl_Choice(x, y, w, h, label)
    {
        install_menu_guard();
    }
    void draw() override;
};

}  // namespace kv
