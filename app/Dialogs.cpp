#include "app/Dialogs.h"

#include "platform/Platform.h"
#include "widgets/LiteralLabel.h"

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
#include <FL/fl_ask.H>

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

// The message becomes the label of the dialog's text box, so its '@'s are
// doubled to show as written (the texts end with the support address).
void Dialogs::alert(const std::string& text) { fl_alert("%s", literal_label(wrap_to_screen(text)).c_str()); }

void Dialogs::message(const std::string& text) { fl_message("%s", literal_label(wrap_to_screen(text)).c_str()); }

namespace {

// A question whose first button is "Cancel" asks before something is done
// that cannot be undone (a reset, an overwrite, a discarded edit). The
// toolkit's own question makes the second button the one Enter presses, so
// these get a dialog of their own where Enter and Escape both answer Cancel.
struct Pick {
    int* answer;
    int index;
};

int cautious_choice(const std::string& text, const char* b0, const char* b1, const char* b2)
{
    const std::string label = literal_label(wrap_to_screen(text));
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int text_w = 0, text_h = 0;
    fl_measure(label.c_str(), text_w, text_h);
    const int w = std::max(410, std::min(text_w, 900) + 80);
    const int box_h = std::max(text_h, 50);
    const int h = box_h + 55;

    int answer = -1;
    Pick picks[3] = {{&answer, 0}, {&answer, 1}, {&answer, 2}};
    Fl_Window win(w, h, "Question");
    Fl_Box icon(10, 10, 50, 50, "?");
    icon.box(FL_THIN_UP_BOX);
    icon.labelfont(FL_TIMES_BOLD);
    icon.labelsize(34);
    icon.color(FL_WHITE);
    icon.labelcolor(FL_BLUE);
    Fl_Box message(70, 10, w - 80, box_h);
    message.copy_label(label.c_str());
    message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    // Laid out as the toolkit's question: the first button on the right.
    const char* names[3] = {b0, b1, b2};
    std::unique_ptr<Fl_Button> buttons[3];
    int x = w - 10;
    for (int i = 0; i < 3; ++i) {
        if (!names[i]) continue;
        // As wide as its label needs ("Try with a simulated pedal"), 90 at least.
        int label_w = 0, label_h = 0;
        fl_measure(names[i], label_w, label_h, 0);
        const int bw = std::max(90, label_w + (i == 0 ? 40 : 20));
        x -= bw;
        if (i == 0) buttons[i] = std::make_unique<Fl_Return_Button>(x, h - 33, bw, 23);
        else buttons[i] = std::make_unique<Fl_Button>(x, h - 33, bw, 23);
        buttons[i]->copy_label(names[i]);
        buttons[i]->callback(
            [](Fl_Widget*, void* data) {
                const auto* p = static_cast<Pick*>(data);
                *p->answer = p->index;
            },
            &picks[i]);
        x -= 10;
    }
    win.end();
    // The close box and Escape are Cancel too.
    win.callback([](Fl_Widget*, void* data) { *static_cast<int*>(data) = 0; }, &answer);
    win.set_modal();
    win.hotspot(buttons[0].get());
    buttons[0]->take_focus();
    win.show();
    while (answer < 0 && win.shown()) Fl::wait();
    win.hide();
    return answer < 0 ? 0 : answer;
}

} // namespace

int Dialogs::choice(const std::string& text, const char* b0, const char* b1, const char* b2)
{
    if (b0 && b1 && (std::string(b0) == "Cancel" || std::string(b0) == "Close")) return cautious_choice(text, b0, b1, b2);
    return fl_choice("%s", b0, b1, b2, literal_label(wrap_to_screen(text)).c_str());
}

int Dialogs::choose(const std::string& text, const std::vector<std::string>& buttons)
{
    if (buttons.size() <= 3) {
        const char* b[3] = {nullptr, nullptr, nullptr};
        for (size_t i = 0; i < buttons.size(); ++i) b[i] = buttons[i].c_str();
        return choice(text, b[0], b[1], b[2]);
    }
    // More buttons than the toolkit's question has: a small window of our own.
    const int bw = 100, gap = 10;
    const int W = std::max(360, int(buttons.size()) * (bw + gap) + gap);
    Fl_Double_Window win(W, 130, "Question");
    const std::string label = literal_label(text);
    Fl_Box box(gap, gap, W - 2 * gap, 70, label.c_str());
    box.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    int answer = 0;
    struct Pick {
        int* answer;
        int index;
    };
    std::vector<Pick> picks;
    for (size_t i = 0; i < buttons.size(); ++i) picks.push_back({&answer, int(i)});
    std::vector<std::unique_ptr<Fl_Button>> keep;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const int x = W - int(buttons.size() - i) * (bw + gap);
        keep.push_back(std::make_unique<Fl_Button>(x, 90, bw, 28, buttons[i].c_str()));
        keep.back()->callback(
            [](Fl_Widget* w, void* data) {
                const Pick* p = static_cast<const Pick*>(data);
                *p->answer = p->index;
                w->window()->hide();
            },
            &picks[i]);
    }
    win.end();
    win.set_modal();
    win.show();
    while (win.shown()) Fl::wait();
    return answer;
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
