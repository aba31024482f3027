#include "app/WindowReporter.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "link/ui/KV_UsbController.h"
#include "widgets/LiteralLabel.h"
#include "widgets/Palette.h"

#include <string>

namespace kv {

namespace {
constexpr Fl_Color kErrorBar = 0x80000000;   // RGB 128, 0, 0
}

LocalTime WindowReporter::now() { return board_.take_time(); }

void WindowReporter::status(const LocalTime& when, std::string_view first, std::string_view second)
{
    board_.append_line(when, first);
    int added = 1;
    if (!second.empty()) {
        board_.append_line(when, second);
        added = 2;
    }
    board_.add_status_lines(added);
    board_.scroll_to_status_lines();
}

void WindowReporter::status_uncounted(const LocalTime& when, std::string_view line) { board_.append_line(when, line); }

void WindowReporter::progress(double value, std::optional<std::string_view> label, ops::Bar bar)
{
    Fl_Progress* p = link_.progress;
    if (!p) return;
    p->value(float(value));
    if (label) p->copy_label(literal_label(std::string(*label)).c_str());
    p->selection_color(bar == ops::Bar::Level ? kLevelColor : kErrorBar);
    link_.redraw();
}

void WindowReporter::alert(std::string_view text) { dialogs().alert(std::string(text)); }

void WindowReporter::message(std::string_view text) { dialogs().message(std::string(text)); }

int WindowReporter::choice(std::string_view text, const char* b0, const char* b1, const char* b2)
{
    return dialogs().choice(std::string(text), b0, b1, b2);
}

} // namespace kv
