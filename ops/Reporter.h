#pragma once
// How a pedal operation tells the user what happened. An operation never
// shows anything itself: it writes status-board lines, moves the progress
// indicator, asks and alerts through this interface, and returns a result.
// The main window implements it with the status board, the link's progress
// bar and the toolkit's dialogs; the command line with standard output and
// standard error (and --yes for the questions); tests record it.
//
// Status lines are given without their time stamp ("  Ready."). Two lines
// given together share one stamp and count as two.

#include "platform/Platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv::ops {

// The progress bar's colour after an operation: RGB 142, 211, 211 when it
// went well, RGB 128, 0, 0 after an error.
enum class Bar { Level, Error };

class Reporter {
public:
    virtual ~Reporter() = default;

    // The time stamp for lines written now.
    virtual LocalTime now() = 0;
    // One or two counted status lines with one stamp (second may be empty).
    virtual void status(const LocalTime& when, std::string_view first, std::string_view second) = 0;
    // A status line written but not counted (the start-up "Connecting ...").
    virtual void status_uncounted(const LocalTime& when, std::string_view line) = 0;
    // The progress indicator: value 0 to 100, a new label (none keeps the
    // one shown) and the bar's colour.
    virtual void progress(double value, std::optional<std::string_view> label, Bar bar) = 0;
    // Modal dialogs: an alert, a message, and a question whose buttons are
    // given left to right; the answer is the index of the button pressed.
    virtual void alert(std::string_view text) = 0;
    virtual void message(std::string_view text) = 0;
    virtual int choice(std::string_view text, const char* b0, const char* b1, const char* b2) = 0;
    // How far a transfer of many like parts has come: `done` of `total`
    // `unit`s ("slot", 7, 32). The command line shows the count; the window
    // has its progress bar and ignores it.
    virtual void count(std::string_view unit, int done, int total)
    {
        (void)unit;
        (void)done;
        (void)total;
    }

    void status(std::string_view first, std::string_view second = {}) { status(now(), first, second); }
};

// A reporter that shows nothing and answers every question with its first
// button (which is always "Cancel" where the program asks before acting).
class SilentReporter : public Reporter {
public:
    LocalTime now() override { return {}; }
    void status(const LocalTime&, std::string_view, std::string_view) override {}
    void status_uncounted(const LocalTime&, std::string_view) override {}
    void progress(double, std::optional<std::string_view>, Bar) override {}
    void alert(std::string_view) override {}
    void message(std::string_view) override {}
    int choice(std::string_view, const char*, const char*, const char*) override { return 0; }
};

} // namespace kv::ops
