#pragma once
// How a panel asks the user something or tells them something without
// knowing who shows it. The main window points the hooks at its dialogs (which
// tests replace); a panel on its own falls back to the toolkit's dialogs.

#include <functional>
#include <string>

namespace kv {

struct DialogHooks {
    std::function<void(const std::string&)> alert;
    std::function<void(const std::string&)> message;
    // Buttons left to right; the answer is the index of the one pressed
    // (0 also when the dialog is closed).
    std::function<int(const std::string&, const char*, const char*)> choice;

    void show_alert(const std::string& text) const;
    void show_message(const std::string& text) const;
    int ask(const std::string& text, const char* b0, const char* b1) const;
};

} // namespace kv
