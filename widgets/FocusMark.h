#pragma once
// The knobs' own focus mark. The toolkit marks a focused slider with a
// dotted outline inside its handle, too faint to follow with Tab; a slider
// that got the focus from the keyboard is framed in the accent colour
// instead. A click gives the focus without the frame, so the mouse sees the
// window as it always was.

class Fl_Widget;

namespace kv {

// Set when Tab or an arrow key moved the focus, cleared by a mouse press.
void set_keyboard_focus(bool on);
bool keyboard_focus();

// Frames the widget (within its own area) when it holds the keyboard focus.
void draw_focus_mark(Fl_Widget& w);
// After the focus came or went: the area is painted again from the window
// down, so that the frame also goes where nothing else paints over it.
void repaint_focus_area(Fl_Widget& w);

} // namespace kv
