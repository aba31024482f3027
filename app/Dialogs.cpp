#include "app/Dialogs.h"

#include "platform/Platform.h"
#include "widgets/LiteralLabel.h"

#include <FL/Fl.H>
#include <FL/Fl_Native_File_Chooser.H>
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
