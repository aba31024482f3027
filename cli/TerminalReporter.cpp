#include "cli/TerminalReporter.h"

#include <cstdio>
#include <vector>

namespace kv::cli {

namespace {

// Lines the window writes and the terminal rewrites.
struct Rewording {
    std::string_view window;
    std::string_view terminal;   // empty: left out
};

constexpr Rewording kRewordings[] = {
    {"> Recycle power to your pedal then click 'Connect'.",
     "> Power the pedal off and on, then run the command again."},
    {"> Param setting as was saved in your pedal is now displayed.", ""},
    // The command says "no pedal found" itself, once.
    {"Pedal is not found.", ""},
    {"> Connect your pedal to a USB port then click 'Connect'.", ""},
    {"> Param setting as displayed has been saved to pedal.", "> The preset is stored in the pedal."},
};

// Words that belong to the window: a line or paragraph holding one is not
// shown on a terminal (the command says what matters in its own words).
constexpr std::string_view kWindowWords[] = {
    "click",  "Click", "Menu ->", "MENU", "is now displayed", "as displayed", "(Mac)", "(Win)",
    "Documents/", "C:/", "Proceed to", "will now close", "window", "Mac users", "'Installation Guide'",
    "Direct support email",
};

// The window's pleas, cut from the lines that hold them.
constexpr std::string_view kPleas[] = {
    " Please try again.", "Please try again.", " Please choose another name.",
    " Please type in a name for the preset.",
};

std::string trimmed(std::string_view line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\n')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.remove_suffix(1);
    return std::string(line);
}

bool has_window_words(std::string_view text)
{
    for (std::string_view w : kWindowWords)
        if (text.find(w) != std::string_view::npos) return true;
    return false;
}

// One paragraph on one line: its line breaks and runs of blanks made single blanks.
std::string one_line(std::string_view paragraph)
{
    std::string line;
    bool blank = false;
    for (char c : paragraph) {
        if (c == '\n' || c == ' ' || c == '\t') {
            blank = !line.empty();
            continue;
        }
        if (blank) line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

} // namespace

std::string command_line_words(std::string_view line)
{
    std::string out(line);
    for (std::string_view plea : kPleas)
        for (size_t at; (at = out.find(plea)) != std::string::npos;) out.erase(at, plea.size());
    return out;
}

std::string terminal_wording(std::string_view window_text)
{
    // A dialog: its paragraphs, each on one line; the advice that ends the
    // failure dialogs ("> If problem persisted ...") and the support line are
    // for the window.
    if (window_text.find('\n') != std::string_view::npos) {
        std::string said;
        size_t start = 0;
        while (start <= window_text.size()) {
            size_t end = window_text.find("\n\n", start);
            if (end == std::string_view::npos) end = window_text.size();
            const std::string paragraph = one_line(window_text.substr(start, end - start));
            start = end + 2;
            if (paragraph.empty()) continue;
            if (paragraph.rfind("> If problem persisted", 0) == 0) break;
            const std::string worded = terminal_wording(paragraph);
            if (worded.empty()) continue;
            if (!said.empty()) said += '\n';
            said += worded;
        }
        return said;
    }
    const std::string line = command_line_words(trimmed(window_text));
    if (line.empty() || line == ">") return {};
    for (const Rewording& r : kRewordings)
        if (line == r.window) return std::string(r.terminal);
    if (has_window_words(line)) return {};
    return line;
}

LocalTime TerminalReporter::now() { return local_time_now(); }

void TerminalReporter::err(const std::string& line)
{
    end_count();
    t_.err(line);
}

void TerminalReporter::say(std::string_view text)
{
    const std::string worded = terminal_wording(text);
    if (!worded.empty()) err(worded);
}

void TerminalReporter::status(const LocalTime&, std::string_view first, std::string_view second)
{
    if (quiet) return;
    say(first);
    if (!second.empty()) say(second);
}

void TerminalReporter::status_uncounted(const LocalTime&, std::string_view line)
{
    if (!quiet) say(line);
}

void TerminalReporter::count(std::string_view unit, int done, int total)
{
    if (!t_.progress_bar || quiet) return;
    const std::string line = std::string(unit) + " " + std::to_string(done) + "/" + std::to_string(total);
    if (t_.count_line) {
        t_.count_line(line);
    } else {
        std::fputs(("\r" + line + "\x1b[K").c_str(), stderr);
        std::fflush(stderr);
    }
    counting_ = done < total;
    if (!counting_ && !t_.count_line) std::fputs("\n", stderr);
}

void TerminalReporter::end_count()
{
    if (!counting_) return;
    counting_ = false;
    if (!t_.count_line) std::fputs("\n", stderr);
}

} // namespace kv::cli
