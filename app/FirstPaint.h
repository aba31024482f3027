#pragma once
// The main window on screen before anything long starts: at start-up the
// pedal is looked for (and the link waits before Read All) before the event
// loop runs, and a window not yet drawn would stay blank all that time.

class Fl_Window;

namespace kv {

// Takes the window's own map and expose events from the display (nothing
// else: no input, no timer runs) until it has been exposed, for at most
// half a second, then draws it.
void paint_before_waiting(Fl_Window& window);

} // namespace kv
