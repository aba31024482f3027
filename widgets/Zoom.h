#pragma once
// The window's zoom: one factor for everything on screen. The layout is built
// at 100 % in the pixel numbers the panels have always used; apply_zoom()
// then scales the whole widget tree from those numbers (positions, sizes,
// label and text sizes, widget images), and the drawing code scales its own
// lines, offsets and fonts through zoomed(). Each widget's geometry at 100 %
// is recorded the first time the tree is zoomed, so zooming again (any number
// of times, in any order) always starts from the 100 % layout and never
// drifts. At 100 % nothing is touched: the window is exactly the built layout.
//
// Code that moves or restyles a widget after the window was built gives the
// 100 % numbers to place() / set_labelsize() / set_textsize(), which remember
// them and apply the zoom.

#include <FL/Enumerations.H>

class Fl_Image;
class Fl_Widget;
class Fl_Window;

namespace kv {

// The current factor (1.0 = 100 %).
double zoom_factor();
// A length, offset or position of the 100 % layout at the current zoom.
int zoomed(int length);
// A font size of the 100 % layout at the current zoom (at least 1).
int zoomed_font(int size);

// A position of the 100 % layout (window coordinates) at the current zoom,
// with the content's place in a window larger than it.
int zoomed_x(int x);
int zoomed_y(int y);

// Scales the window and every widget in it to `factor`; the window takes the
// content's size. The window keeps its top-left corner; the caller keeps it
// on screen. The user may size the window from half its built size upwards.
void apply_zoom(Fl_Window& window, double factor);
// The same in a window that keeps the size the user gave it: the content is
// centred in it.
void apply_zoom_within(Fl_Window& window, double factor);
// Lets the user size the window, from half its built size upwards; the
// content is never stretched by the toolkit (the caller zooms it).
void allow_user_sizing(Fl_Window& window);
// True when the window is exactly its content's size at the current zoom.
bool content_fills(const Fl_Window& window);
// The window's size as built (at 100 %).
void built_size(const Fl_Window& window, int& w, int& h);

// Forgets the zoomed window (its widgets are about to go): back to 100 %,
// the toolkit's sizes as they were, nothing recorded.
void reset_zoom();

// Geometry given at 100 % (window coordinates), applied at the current zoom.
void place(Fl_Widget& widget, int x, int y, int w, int h);
// The same with the position given from `parent`'s top-left corner at 100 %.
void place_within(const Fl_Widget& parent, Fl_Widget& widget, int dx, int dy, int w, int h);
void set_labelsize(Fl_Widget& widget, int size);
// For widgets with a text size (inputs, menus, value sliders, text displays).
void set_textsize(Fl_Widget& widget, int size);

// Draws a caption whose columns are set apart by runs of spaces (with the
// current font, which was chosen as zoomed_font(base_size)). The widths of
// spaces do not grow exactly with the font size, so each column is placed
// where it stands at 100 %, scaled; at 100 % it is one plain fl_draw.
void draw_spaced(const char* text, int x, int y, int base_size);

// The picture at the current zoom, scaled smoothly from the original and
// kept until the zoom changes; the original itself at 100 % (or when it
// cannot be scaled). Null for null.
Fl_Image* zoomed_image(Fl_Image* original);

} // namespace kv
