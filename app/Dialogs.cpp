#include "app/Dialogs.h"

#include "platform/Platform.h"
#include "widgets/LiteralLabel.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Native_File_Chooser.H>

#include <algorithm>
#include <memory>
#include <FL/fl_ask.H>

namespace kv {

// The message becomes the label of the dialog's text box, so its '@'s are
// doubled to show as written (the texts end with the support address).
void Dialogs::alert(const std::string& text) { fl_alert("%s", literal_label(text).c_str()); }

void Dialogs::message(const std::string& text) { fl_message("%s", literal_label(text).c_str()); }

int Dialogs::choice(const std::string& text, const char* b0, const char* b1, const char* b2)
{
    return fl_choice("%s", b0, b1, b2, literal_label(text).c_str());
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
