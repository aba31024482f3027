#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Browser_.H>
#include <FL/Fl_Counter.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <algorithm>

namespace kv {

namespace {

// What a widget looks like at 100 %.
struct Base {
    int x = 0, y = 0, w = 0, h = 0;   // window coordinates (a scroll's children as if unscrolled)
    int label = 0;
    int text = -1;                    // -1: the widget has no text size
    Fl_Image* image = nullptr;        // the widget's own picture (never a zoomed copy)
    Fl_Image* deimage = nullptr;
};

struct ZoomData {
    double factor = 1.0;
    std::unordered_map<const Fl_Widget*, Base> bases;
    // Zoomed copies of pictures, by original; all made for `factor`.
    std::map<const Fl_Image*, std::unique_ptr<Fl_Image>> copies;
    int scrollbar = 0;    // the toolkit's scrollbar size at 100 %
    int tooltip = 0;      // the tooltip font size at 100 %
    int normal = 0;       // the toolkit's normal font size at 100 %
    // Where the 100 % layout's top-left corner is in the window: 0, 0 unless
    // the window is larger than its content (sized by the user), which is
    // then centred.
    int origin_x = 0, origin_y = 0;
    // The window's size as built, known before anything was zoomed.
    int built_w = 0, built_h = 0;
};

ZoomData& state()
{
    static ZoomData s;
    return s;
}

int scaled(int v, double f) { return int(std::lround(v * f)); }

// The smallest zoom the window can be sized down to.
constexpr double kSmallestZoom = 0.5;

int text_size(Fl_Widget& w)
{
    if (auto* i = dynamic_cast<Fl_Input_*>(&w)) return i->textsize();
    if (auto* m = dynamic_cast<Fl_Menu_*>(&w)) return m->textsize();
    if (auto* d = dynamic_cast<Fl_Text_Display*>(&w)) return d->textsize();
    if (auto* b = dynamic_cast<Fl_Browser_*>(&w)) return b->textsize();
    if (auto* s = dynamic_cast<Fl_Value_Slider*>(&w)) return s->textsize();
    if (auto* v = dynamic_cast<Fl_Value_Input*>(&w)) return v->textsize();
    if (auto* o = dynamic_cast<Fl_Value_Output*>(&w)) return o->textsize();
    if (auto* c = dynamic_cast<Fl_Counter*>(&w)) return c->textsize();
    return -1;
}

void set_text_size(Fl_Widget& w, int size)
{
    if (auto* i = dynamic_cast<Fl_Input_*>(&w)) i->textsize(size);
    else if (auto* m = dynamic_cast<Fl_Menu_*>(&w)) m->textsize(size);
    else if (auto* d = dynamic_cast<Fl_Text_Display*>(&w)) d->textsize(size);
    else if (auto* b = dynamic_cast<Fl_Browser_*>(&w)) b->textsize(size);
    else if (auto* s = dynamic_cast<Fl_Value_Slider*>(&w)) s->textsize(size);
    else if (auto* v = dynamic_cast<Fl_Value_Input*>(&w)) v->textsize(size);
    else if (auto* o = dynamic_cast<Fl_Value_Output*>(&w)) o->textsize(size);
    else if (auto* c = dynamic_cast<Fl_Counter*>(&w)) c->textsize(size);
}

// A widget's 100 % numbers, taken from it as it is now at `factor` the first
// time it is seen (at 100 % for everything built with the window).
Base& base_of(Fl_Widget& w, double factor)
{
    auto& bases = state().bases;
    auto it = bases.find(&w);
    if (it != bases.end()) return it->second;
    Base b;
    const bool window = w.as_window() != nullptr;
    b.x = window ? w.x() : scaled(w.x() - state().origin_x, 1.0 / factor);
    b.y = window ? w.y() : scaled(w.y() - state().origin_y, 1.0 / factor);
    b.w = scaled(w.w(), 1.0 / factor);
    b.h = scaled(w.h(), 1.0 / factor);
    // A window the user sized before it was ever zoomed is larger than built.
    if (window && state().built_w > 0) {
        b.w = state().built_w;
        b.h = state().built_h;
    }
    b.label = scaled(w.labelsize(), 1.0 / factor);
    const int t = text_size(w);
    b.text = t < 0 ? -1 : scaled(t, 1.0 / factor);
    b.image = w.image();
    b.deimage = w.deimage();
    return bases.emplace(&w, b).first->second;
}

// The widget at the current zoom. Edges are scaled rather than sizes, so
// widgets that touch at 100 % touch at every zoom.
void zoom_geometry(Fl_Widget& w, const Base& b, double f)
{
    const int ox = state().origin_x, oy = state().origin_y;
    const int x = scaled(b.x, f) + ox, y = scaled(b.y, f) + oy;
    int r = scaled(b.x + b.w, f) + ox, bottom = scaled(b.y + b.h, f) + oy;
    // A line one pixel thick at 100 % stays a line below it.
    if (b.w > 0 && r <= x) r = x + 1;
    if (b.h > 0 && bottom <= y) bottom = y + 1;
    if (w.x() != x || w.y() != y || w.w() != r - x || w.h() != bottom - y) w.resize(x, y, r - x, bottom - y);
}

void zoom_style(Fl_Widget& w, const Base& b, double f)
{
    w.labelsize(std::max(1, scaled(b.label, f)));
    if (b.text >= 0) set_text_size(w, std::max(1, scaled(b.text, f)));
    if (b.image) w.image(zoomed_image(b.image));
    if (b.deimage) w.deimage(zoomed_image(b.deimage));
}

// `old`: the factor the tree was at, for widgets added since it was recorded.
void zoom_tree(Fl_Widget& w, double f, double old)
{
    Base& b = base_of(w, old);
    zoom_geometry(w, b, f);
    zoom_style(w, b, f);
    Fl_Group* g = w.as_group();
    // A text display lays out its own scrollbars and lines when resized.
    if (!g || dynamic_cast<Fl_Text_Display*>(&w)) {
        if (auto* d = dynamic_cast<Fl_Text_Display*>(&w)) d->resize(d->x(), d->y(), d->w(), d->h());
        return;
    }
    auto* scroll = dynamic_cast<Fl_Scroll*>(&w);
    for (int i = 0; i < g->children(); ++i) {
        Fl_Widget* c = g->child(i);
        // A scroll places its scrollbars itself when it draws.
        if (scroll && (c == &scroll->scrollbar || c == &scroll->hscrollbar)) continue;
        zoom_tree(*c, f, old);
    }
    g->init_sizes();
}

} // namespace

double zoom_factor() { return state().factor; }

int zoomed(int length) { return scaled(length, state().factor); }

int zoomed_font(int size) { return std::max(1, scaled(size, state().factor)); }

int zoomed_x(int x) { return scaled(x, state().factor) + state().origin_x; }

int zoomed_y(int y) { return scaled(y, state().factor) + state().origin_y; }

Fl_Image* zoomed_image(Fl_Image* original)
{
    if (!original) return nullptr;
    ZoomData& s = state();
    if (s.factor == 1.0 || original->w() <= 0 || original->h() <= 0 || original->fail()) return original;
    auto it = s.copies.find(original);
    if (it != s.copies.end()) return it->second.get();
    const Fl_RGB_Scaling before = Fl_RGB_Image::RGB_scaling();
    Fl_RGB_Image::RGB_scaling(FL_RGB_SCALING_BILINEAR);
    Fl_Image* copy = original->copy(std::max(1, scaled(original->w(), s.factor)),
                                    std::max(1, scaled(original->h(), s.factor)));
    Fl_RGB_Image::RGB_scaling(before);
    if (!copy) return original;
    return s.copies.emplace(original, std::unique_ptr<Fl_Image>(copy)).first->second.get();
}

void draw_spaced(const char* text, int x, int y, int base_size)
{
    const double f = state().factor;
    if (f == 1.0 || !text) {
        if (text) fl_draw(text, x, y);
        return;
    }
    const Fl_Font face = fl_font();
    const Fl_Fontsize size = fl_size();
    const std::string s(text);
    size_t pos = 0;
    while (pos < s.size()) {
        const size_t run = s.find("  ", pos);
        const size_t end = run == std::string::npos ? s.size() : run;
        if (end > pos) {
            fl_font(face, base_size);
            const double before = fl_width(s.c_str(), int(pos));
            fl_font(face, size);
            fl_draw(s.c_str() + pos, int(end - pos), x + int(std::lround(before * f)), y);
        }
        if (run == std::string::npos) break;
        pos = s.find_first_not_of(' ', run);
        if (pos == std::string::npos) break;
    }
}

namespace {

// The zoom applied; with `keep_size` the window keeps its size and the
// content is centred in it, else the window takes the content's size.
void zoom_window_tree(Fl_Window& window, double factor, bool keep_size)
{
    ZoomData& s = state();
    if (s.bases.empty() && factor == s.factor && !keep_size) return;   // 100 % and never zoomed: as built
    if (s.scrollbar == 0) {
        s.scrollbar = Fl::scrollbar_size();
        s.tooltip = Fl_Tooltip::size();
        s.normal = FL_NORMAL_SIZE;
    }
    // Record the 100 % layout before anything moves.
    if (s.bases.empty()) {
        struct Recorder {
            static void walk(Fl_Widget& w)
            {
                base_of(w, 1.0);
                Fl_Group* g = w.as_group();
                if (!g || dynamic_cast<Fl_Text_Display*>(&w)) return;
                for (int i = 0; i < g->children(); ++i) walk(*g->child(i));
            }
        };
        Recorder::walk(window);
    }

    // Scrolls go back to their top first, so that their children are where
    // the recorded layout has them; they scroll back to the same place after.
    struct ScrollPlace { Fl_Scroll* scroll; int y; };
    std::vector<ScrollPlace> scrolls;
    struct Finder {
        static void walk(Fl_Widget& w, std::vector<ScrollPlace>& out)
        {
            Fl_Group* g = w.as_group();
            if (!g) return;
            if (auto* sc = dynamic_cast<Fl_Scroll*>(&w)) {
                out.push_back({sc, sc->yposition()});
                sc->scroll_to(sc->xposition(), 0);
            }
            for (int i = 0; i < g->children(); ++i) walk(*g->child(i), out);
        }
    };
    Finder::walk(window, scrolls);

    const double old = s.factor;
    s.factor = factor;
    s.copies.clear();
    Fl::scrollbar_size(std::max(4, scaled(s.scrollbar, factor)));
    Fl_Tooltip::size(std::max(6, scaled(s.tooltip, factor)));
    // Dialogs and menus built from here on take the zoomed normal size.
    FL_NORMAL_SIZE = std::max(6, scaled(s.normal, factor));

    // The window keeps its place on screen; its children are in its coordinates.
    const Base& wb = base_of(window, 1.0);
    const int W = scaled(wb.w, factor), H = scaled(wb.h, factor);
    allow_user_sizing(window);
    if (keep_size) {
        s.origin_x = std::max(0, (window.w() - W) / 2);
        s.origin_y = std::max(0, (window.h() - H) / 2);
    } else {
        s.origin_x = s.origin_y = 0;
        if (window.w() != W || window.h() != H) window.resize(window.x(), window.y(), W, H);
    }
    zoom_style(window, wb, factor);
    for (int i = 0; i < window.children(); ++i) zoom_tree(*window.child(i), factor, old);
    window.init_sizes();

    for (const ScrollPlace& p : scrolls) p.scroll->scroll_to(p.scroll->xposition(), scaled(p.y, factor / old));
    window.redraw();
}

} // namespace

void apply_zoom(Fl_Window& window, double factor) { zoom_window_tree(window, factor, false); }

void apply_zoom_within(Fl_Window& window, double factor) { zoom_window_tree(window, factor, true); }

bool content_fills(const Fl_Window& window)
{
    int bw = 0, bh = 0;
    built_size(window, bw, bh);
    const double f = state().factor;
    return window.w() == scaled(bw, f) && window.h() == scaled(bh, f);
}

void built_size(const Fl_Window& window, int& w, int& h)
{
    ZoomData& s = state();
    auto it = s.bases.find(&window);
    if (it != s.bases.end()) {
        w = it->second.w;
        h = it->second.h;
    } else if (s.built_w > 0) {
        w = s.built_w;
        h = s.built_h;
    } else {
        w = scaled(window.w(), 1.0 / s.factor);
        h = scaled(window.h(), 1.0 / s.factor);
    }
}

void allow_user_sizing(Fl_Window& window)
{
    int w = 0, h = 0;
    built_size(window, w, h);
    state().built_w = w;
    state().built_h = h;
    // The content is laid out by the zoom, never stretched by the toolkit.
    window.resizable(nullptr);
    window.size_range(scaled(w, kSmallestZoom), scaled(h, kSmallestZoom), 0, 0);
}

void reset_zoom()
{
    ZoomData& s = state();
    if (s.scrollbar != 0) {
        Fl::scrollbar_size(s.scrollbar);
        Fl_Tooltip::size(s.tooltip);
        FL_NORMAL_SIZE = s.normal;
    }
    s = ZoomData{};
}

void place(Fl_Widget& widget, int x, int y, int w, int h)
{
    ZoomData& s = state();
    auto it = s.bases.find(&widget);
    if (it != s.bases.end()) {
        it->second.x = x;
        it->second.y = y;
        it->second.w = w;
        it->second.h = h;
    }
    const double f = s.factor;
    const int X = scaled(x, f), Y = scaled(y, f);
    widget.resize(X + s.origin_x, Y + s.origin_y, scaled(x + w, f) - X, scaled(y + h, f) - Y);
}

void place_within(const Fl_Widget& parent, Fl_Widget& widget, int dx, int dy, int w, int h)
{
    ZoomData& s = state();
    auto it = s.bases.find(&parent);
    const int px = it != s.bases.end() ? it->second.x : scaled(parent.x() - s.origin_x, 1.0 / s.factor);
    const int py = it != s.bases.end() ? it->second.y : scaled(parent.y() - s.origin_y, 1.0 / s.factor);
    place(widget, px + dx, py + dy, w, h);
}

void set_labelsize(Fl_Widget& widget, int size)
{
    ZoomData& s = state();
    auto it = s.bases.find(&widget);
    if (it != s.bases.end()) it->second.label = size;
    widget.labelsize(std::max(1, scaled(size, s.factor)));
}

void set_textsize(Fl_Widget& widget, int size)
{
    ZoomData& s = state();
    auto it = s.bases.find(&widget);
    if (it != s.bases.end()) it->second.text = size;
    set_text_size(widget, std::max(1, scaled(size, s.factor)));
}

} // namespace kv
