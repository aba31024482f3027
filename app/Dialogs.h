#pragma once
// Every modal dialog the program shows goes through this interface, so that
// tests can answer the dialogs instead of a person. By default the questions
// and notices are windows of ours, built at the window's zoom, titled, and
// shown as dialogs of the main window, centred over it; they show each text
// as written ('@' included, which the toolkit would take for a symbol). The
// file choosers are the toolkit's.

#include <string>
#include <vector>

class Fl_Window;

namespace kv {

// The window the dialogs belong to and open centred over (the first window
// shown when none is set).
void set_dialog_owner(Fl_Window* main_window);

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void alert(const std::string& text);            // a warning with Close
    virtual void message(const std::string& text);          // a notice with Close
    // Returns 0, 1 or 2 for the button pressed, laid out as the toolkit's
    // question (b0 on the right). A question whose b0 is "Cancel" (or "Close") takes
    // Enter, Escape and the close box as Cancel (0); others take Enter as b1.
    virtual int choice(const std::string& text, const char* b0, const char* b1, const char* b2);
    // A question with any number of buttons, left to right; the index of the
    // one pressed (Escape or closing the window: the first, which is "Cancel").
    virtual int choose(const std::string& text, const std::vector<std::string>& buttons);
    // Native file chooser. Returns the chosen paths (empty when cancelled).
    virtual std::vector<std::string> choose_files(const std::string& title, const std::string& filter,
                                                  const std::string& start_dir, bool multiple);
    // Native file chooser for a file to write, in start_dir with
    // suggested_name filled in; asks before an existing file is replaced.
    // Returns the path (empty when cancelled).
    virtual std::string choose_save_file(const std::string& title, const std::string& filter,
                                         const std::string& start_dir, const std::string& suggested_name);
    // Opens a web page in the default browser.
    virtual bool open_page(const std::string& url);
};

// A dialog's text with every line longer than the screen's work area allows
// broken at blanks (a word too long for a line, at a letter), so that the
// toolkit's dialogs, which grow with their longest line, keep their buttons
// on the screen.
std::string wrap_to_screen(const std::string& text);

// The dialogs in use; set_dialogs(nullptr) goes back to the toolkit's.
Dialogs& dialogs();
void set_dialogs(Dialogs* d);

// A stand-in for tests: records every dialog and answers from queued values.
class RecordingDialogs : public Dialogs {
public:
    struct Shown {
        std::string kind;   // "alert", "message", "choice", "file", "page"
        std::string text;
    };
    std::vector<Shown> shown;
    std::vector<int> choice_answers;                     // consumed front first; default 0
    std::vector<std::vector<std::string>> file_answers;  // consumed front first; default none
    std::string suggested;                               // the name the last save chooser suggested

    void alert(const std::string& text) override { shown.push_back({"alert", text}); }
    void message(const std::string& text) override { shown.push_back({"message", text}); }
    int choice(const std::string& text, const char*, const char*, const char*) override
    {
        shown.push_back({"choice", text});
        if (choice_answers.empty()) return 0;
        int a = choice_answers.front();
        choice_answers.erase(choice_answers.begin());
        return a;
    }
    int choose(const std::string& text, const std::vector<std::string>&) override
    {
        return choice(text, nullptr, nullptr, nullptr);
    }
    std::vector<std::string> choose_files(const std::string& title, const std::string&, const std::string&,
                                          bool) override
    {
        shown.push_back({"file", title});
        if (file_answers.empty()) return {};
        auto a = file_answers.front();
        file_answers.erase(file_answers.begin());
        return a;
    }
    // Answered from file_answers too (its first path).
    std::string choose_save_file(const std::string& title, const std::string&, const std::string& start_dir,
                                 const std::string& suggested_name) override
    {
        shown.push_back({"save", title});
        suggested = start_dir + suggested_name;
        if (file_answers.empty()) return {};
        auto a = file_answers.front();
        file_answers.erase(file_answers.begin());
        return a.empty() ? std::string() : a.front();
    }
    bool pages_open = true;   // what open_page answers: false as without xdg-open
    bool open_page(const std::string& url) override
    {
        shown.push_back({"page", url});
        return pages_open;
    }
};

} // namespace kv
