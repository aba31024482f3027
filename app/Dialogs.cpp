#include "app/Dialogs.h"

#include "platform/Platform.h"
#include "app/Desktop.h"
#include "widgets/LiteralLabel.h"
#include "widgets/Zoom.h"

#include <algorithm>
#include <memory>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/filename.H>

namespace kv {

std::string wrap_to_screen(const std::string& text)
{
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_work_area(sx, sy, sw, sh);
    // The dialog adds its icon, margins and frame (about 120 pixels) to its text.
    const double limit = std::max(300, sw - 160);
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    auto fits = [&](const std::string& s) { return fl_width(s.c_str(), int(s.size())) <= limit; };
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        while (!fits(line)) {
            // The longest head that fits, ended at a blank when there is one.
            size_t cut = 1;
            while (cut < line.size() && fits(line.substr(0, cut + 1))) ++cut;
            while (cut < line.size() && (line[cut] & 0xC0) == 0x80) --cut;   // not inside a UTF-8 letter
            const size_t blank = line.rfind(' ', cut);
            if (blank != std::string::npos && blank > 0) cut = blank;
            out += line.substr(0, cut) + "\n";
            line.erase(0, cut);
            while (!line.empty() && line.front() == ' ') line.erase(line.begin());
        }
        out += line;
        if (end == text.size()) break;
        out += "\n";
        start = end + 1;
    }
    return out;
}

namespace {

// Every question and notice is a window of ours, built at the window's zoom
// (its text, icon, buttons and size), titled, and handed to the desktop as a
// dialog of the main window, centred over it.
enum class Kind { alert, message, question };

struct Pick {
    int* answer;
    int index;
};

// Sizes of the 100 % layout.
constexpr int kMargin = 10;
constexpr int kIcon = 50;
constexpr int kButtonMinW = 90;
constexpr int kButtonH = 25;
constexpr int kGap = 10;
constexpr int kTextMinW = 330;
constexpr int kTextMaxW = 820;
constexpr int kFontSize = 14;

Fl_Window* owner_window = nullptr;

const char* title_of(Kind kind)
{
    switch (kind) {
    case Kind::alert: return "Warning";
    case Kind::message: return "Information";
    case Kind::question: break;
    }
    return "Question";
}

// The main window when it is shown; else the first window shown.
Fl_Window* dialog_owner()
{
    if (owner_window && owner_window->shown()) return owner_window;
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
        if (!w->modal() && !w->parent()) return w;
    return nullptr;
}

// Shows `text` with `names` as buttons, placed left to right as given
// (`rightmost_first` lays them out as the toolkit's questions do, the first
// on the right). Enter presses `enter`; Escape and the close box answer
// `cancel`. Returns the index of the button pressed.
int show_dialog(Kind kind, const std::string& text, const std::vector<std::string>& names, bool rightmost_first,
                int enter, int cancel)
{
    const std::string label = literal_label(text);
    // Laid out at 100 % and zoomed as a whole, so that the dialog at any
    // zoom is its 100 % picture scaled. Text widths do not grow exactly with
    // the font size: the text box and the buttons leave room for that.
    fl_font(FL_HELVETICA, kFontSize);
    int text_w = 0, text_h = 0;
    fl_measure(label.c_str(), text_w, text_h);
    // No wider than the screen leaves room for, at the zoom it is shown at.
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_work_area(sx, sy, sw, sh);
    const int max_w = std::max(kTextMinW, std::min(kTextMaxW, int((sw - 160) / zoom_factor()) - (kMargin + kIcon + kMargin + kMargin)));
    if (text_w > max_w) {
        text_w = max_w;
        text_h = 0;
        fl_measure(label.c_str(), text_w, text_h);
    }
    text_w = std::max(text_w + text_w / 16 + 4, kTextMinW);
    text_h = std::max(text_h + text_h / 8, kIcon);

    std::vector<int> widths;
    int buttons_w = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        // The Enter button's arrow takes room beside its label.
        const int arrow = int(i) == enter ? kButtonH : 0;
        const int bw = std::max(kButtonMinW, int(fl_width(names[i].c_str()) * 17 / 16) + 24 + arrow);
        widths.push_back(bw);
        buttons_w += bw + kGap;
    }
    const int text_x = kMargin + kIcon + kMargin;
    const int W100 = std::max(text_x + text_w + kMargin, buttons_w + kMargin);
    const int button_y = kMargin + text_h + kMargin;
    const int H100 = button_y + kButtonH + kMargin;
    // Rounded down: a text never grows faster than the box it was measured for.
    const Fl_Fontsize size = std::max(6, int(kFontSize * zoom_factor() + 0.01));
    // Edges zoomed, so that neighbours at 100 % stay neighbours.
    auto span = [](int from, int length) { return zoomed(from + length) - zoomed(from); };
    // Font sizes are whole pixels: at some zooms the text wraps to a line
    // more than at 100 %. The box grows by what it lacks, the buttons move down.
    int lack = 0;
    {
        fl_font(FL_HELVETICA, size);
        int zw = span(text_x, text_w), zh = 0;
        fl_measure(label.c_str(), zw, zh);
        lack = std::max(0, zh - span(kMargin, text_h));
    }
    const int W = zoomed(W100), H = zoomed(H100) + lack;

    int answer = -1;
    std::vector<Pick> picks;
    for (size_t i = 0; i < names.size(); ++i) picks.push_back({&answer, int(i)});

    Fl_Double_Window win(W, H, title_of(kind));
    Fl_Box icon(zoomed(kMargin), zoomed(kMargin), span(kMargin, kIcon), span(kMargin, kIcon));
    icon.label(kind == Kind::alert ? "!" : kind == Kind::message ? "i" : "?");
    icon.box(FL_THIN_UP_BOX);
    icon.labelfont(FL_TIMES_BOLD);
    icon.labelsize(zoomed_font(34));
    icon.color(FL_WHITE);
    icon.labelcolor(kind == Kind::alert ? FL_RED : FL_BLUE);
    Fl_Box message(zoomed(text_x), zoomed(kMargin), span(text_x, text_w), span(kMargin, text_h) + lack);
    message.copy_label(label.c_str());
    message.labelfont(FL_HELVETICA);
    message.labelsize(size);
    message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);

    std::vector<std::unique_ptr<Fl_Button>> buttons(names.size());
    std::vector<size_t> order(names.size());
    for (size_t i = 0; i < names.size(); ++i) order[i] = rightmost_first ? names.size() - 1 - i : i;
    int x = W100 - kMargin - buttons_w + kGap;
    for (size_t k : order) {
        const int bx = zoomed(x), by = zoomed(button_y) + lack, bw = span(x, widths[k]), bh = span(button_y, kButtonH);
        if (int(k) == enter) buttons[k] = std::make_unique<Fl_Return_Button>(bx, by, bw, bh);
        else buttons[k] = std::make_unique<Fl_Button>(bx, by, bw, bh);
        buttons[k]->copy_label(names[k].c_str());
        buttons[k]->labelsize(size);
        buttons[k]->callback(
            [](Fl_Widget*, void* data) {
                const auto* p = static_cast<Pick*>(data);
                *p->answer = p->index;
            },
            &picks[k]);
        x += widths[k] + kGap;
    }
    win.end();
    Pick closed{&answer, cancel};
    win.callback(
        [](Fl_Widget*, void* data) {
            const auto* p = static_cast<Pick*>(data);
            *p->answer = p->index;
        },
        &closed);
    win.set_modal();
    Fl_Window* owner = dialog_owner();
    if (owner) {
        // Centred over the main window, kept on its screen.
        int sx = 0, sy = 0, sw = 0, sh = 0;
        Fl::screen_work_area(sx, sy, sw, sh, owner->x() + owner->w() / 2, owner->y() + owner->h() / 2);
        const int x = std::clamp(owner->x() + (owner->w() - W) / 2, sx, std::max(sx, sx + sw - W));
        const int y = std::clamp(owner->y() + (owner->h() - H) / 2, sy, std::max(sy, sy + sh - H));
        win.position(x, y);
    }
    if (enter >= 0 && size_t(enter) < buttons.size()) buttons[size_t(enter)]->take_focus();
    show_as_dialog(win, owner);
    while (answer < 0 && win.shown()) Fl::wait();
    win.hide();
    return answer < 0 ? cancel : answer;
}

std::vector<std::string> present(const char* b0, const char* b1, const char* b2)
{
    std::vector<std::string> out;
    for (const char* b : {b0, b1, b2})
        if (b) out.emplace_back(b);
    return out;
}

} // namespace

void set_dialog_owner(Fl_Window* main_window) { owner_window = main_window; }

void Dialogs::alert(const std::string& text) { show_dialog(Kind::alert, text, {"Close"}, false, 0, 0); }

void Dialogs::message(const std::string& text) { show_dialog(Kind::message, text, {"Close"}, false, 0, 0); }

// A question whose first button is "Cancel" asks before something is done
// that cannot be undone (a reset, an overwrite, a discarded edit): Enter and
// Escape both answer Cancel there. Otherwise Enter presses the second button,
// as in the toolkit's questions. The first button is on the right.
int Dialogs::choice(const std::string& text, const char* b0, const char* b1, const char* b2)
{
    const std::vector<std::string> names = present(b0, b1, b2);
    if (names.empty()) return 0;
    const bool cautious = b0 && (std::string(b0) == "Cancel" || std::string(b0) == "Close");
    const int enter = cautious || names.size() < 2 ? 0 : 1;
    return show_dialog(Kind::question, text, names, true, enter, 0);
}

int Dialogs::choose(const std::string& text, const std::vector<std::string>& buttons)
{
    if (buttons.empty()) return 0;
    return show_dialog(Kind::question, text, buttons, false, 0, 0);
}

std::vector<std::string> Dialogs::choose_files(const std::string& title, const std::string& filter,
                                               const std::string& start_dir, bool multiple)
{
    Fl_Native_File_Chooser chooser;
    chooser.title(title.c_str());
    chooser.filter(filter.c_str());
    chooser.directory(start_dir.c_str());
    chooser.type(multiple ? Fl_Native_File_Chooser::BROWSE_MULTI_FILE : Fl_Native_File_Chooser::BROWSE_FILE);
    std::vector<std::string> out;
    if (chooser.show() != 0) return out;
    for (int i = 0; i < chooser.count(); ++i)
        if (const char* f = chooser.filename(i)) out.emplace_back(f);
    return out;
}

std::string Dialogs::choose_save_file(const std::string& title, const std::string& filter,
                                      const std::string& start_dir, const std::string& suggested_name)
{
    Fl_Native_File_Chooser chooser;
    chooser.title(title.c_str());
    chooser.filter(filter.c_str());
    chooser.directory(start_dir.c_str());
    chooser.preset_file(suggested_name.c_str());
    chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM | Fl_Native_File_Chooser::NEW_FOLDER);
    if (chooser.show() != 0 || !chooser.filename()) return {};
    return chooser.filename();
}

bool Dialogs::open_page(const std::string& url)
{
    char msg[256];
    if (fl_open_uri(url.c_str(), msg, sizeof msg)) return true;
    return open_web_page(url);
}

static Dialogs toolkit_dialogs;
static Dialogs* current = nullptr;

Dialogs& dialogs() { return current ? *current : toolkit_dialogs; }

void set_dialogs(Dialogs* d) { current = d; }

} // namespace kv
