#pragma once
// What the two settings panels (global settings, MIDI CC mapping) have in
// common: Confirm and Cancel, which end the panel through on_answer, and
// Confirm turned off after an opening whose read failed, with the line that
// says so. The panel with its own controls derives from it and places the
// two buttons with add_answer_buttons().
//
// Confirm is a toggle that shows pressed while on_answer runs for it and
// springs back afterwards. Controls keep their state between showings:
// Cancel undoes nothing.

#include "widgets/DialogHooks.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Group.H>

#include <functional>

class Fl_Button;

namespace kv {

// How the user ended a settings panel.
enum class ConfAnswer { confirm, cancel };

class KV_ConfPanel : public Fl_Group {
public:
    // An opening whose read failed turns Confirm off: the panel then holds
    // values the pedal may no longer have, and sending them would overwrite
    // whatever was changed on the pedal meanwhile.
    void set_confirm_allowed(bool allowed);
    bool confirm_allowed() const { return confirm_allowed_; }

    // Confirm or Cancel was pressed; the owner sends (when Confirm is
    // allowed) and closes the panel.
    std::function<void(ConfAnswer)> on_answer;

    Fl_Button* confirm_button = nullptr;
    Fl_Button* cancel_button = nullptr;

    DialogHooks dialogs;

protected:
    KV_ConfPanel(int x, int y, int w, int h, const char* label);
    // Confirm (a toggle) and Cancel, 120 x 25 each, at the given window points.
    void add_answer_buttons(int confirm_x, int cancel_x, int y);
    // While Confirm is off: "Settings could not be read ..." in the red of
    // refusals, size 12, in the box given.
    void draw_refusal(int x, int y, int w, int h, Fl_Align align) const;

private:
    void answer(ConfAnswer a);
    static void confirm_cb(Fl_Widget*, void*);
    static void cancel_cb(Fl_Widget*, void*);

    bool confirm_allowed_ = true;
};

} // namespace kv
