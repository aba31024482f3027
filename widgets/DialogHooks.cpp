#include "widgets/DialogHooks.h"

#include <FL/fl_ask.H>

namespace kv {

// The texts go through "%s": they are shown, never taken as formats.

void DialogHooks::show_alert(const std::string& text) const
{
    if (alert) alert(text);
    else fl_alert("%s", text.c_str());
}

void DialogHooks::show_message(const std::string& text) const
{
    if (message) message(text);
    else fl_message("%s", text.c_str());
}

int DialogHooks::ask(const std::string& text, const char* b0, const char* b1) const
{
    if (choice) return choice(text, b0, b1);
    return fl_choice("%s", b0, b1, nullptr, text.c_str());
}

} // namespace kv
