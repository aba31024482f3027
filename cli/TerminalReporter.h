#pragma once
// The pedal operations' reporter on a terminal. The operations write the
// window's status-board lines and dialogs; this one says them in the
// command line's own words: nothing about buttons, menus or what the window
// displays, no question that the command has asked already (or that --yes
// answered), and instead of the progress bar a count on standard error
// ("slot 7/32") when that is a terminal.

#include "cli/Terminal.h"
#include "ops/Reporter.h"

#include <string>
#include <string_view>

namespace kv::cli {

// The command line's wording of a text the operations write for the window:
// a status line, or a dialog's text (whose paragraphs are taken one by one).
// Empty: nothing to say on a terminal.
std::string terminal_wording(std::string_view window_text);

// A line without the window's pleas ("Please try again.", "Please choose
// another name."): the command says what to do in its own words.
std::string command_line_words(std::string_view line);

class TerminalReporter : public ops::Reporter {
public:
    explicit TerminalReporter(const Terminal& t) : t_(t) {}
    ~TerminalReporter() override { end_count(); }

    bool confirmed = false;   // the user agreed to overwrite the pedal (--yes or asked)
    bool quiet = false;       // --quiet: status lines, messages and counts are left out

    LocalTime now() override;
    void status(const LocalTime&, std::string_view first, std::string_view second) override;
    void status_uncounted(const LocalTime&, std::string_view line) override;
    void progress(double, std::optional<std::string_view>, ops::Bar) override {}
    void count(std::string_view unit, int done, int total) override;
    void alert(std::string_view text) override { say(text); }
    void message(std::string_view text) override
    {
        if (!quiet) say(text);
    }
    // The operations ask "Cancel" first and the action second; the command
    // asked (or --yes answered) before the operation started.
    int choice(std::string_view, const char*, const char*, const char*) override { return confirmed ? 1 : 0; }

    // Ends a count line drawn in place, before another line is written.
    void end_count();
    // A line on standard error, after the count line.
    void err(const std::string& line);

private:
    void say(std::string_view text);

    const Terminal& t_;
    bool counting_ = false;
};

} // namespace kv::cli
