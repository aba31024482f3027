#pragma once
// The commit-on-release flag the value controls share: a left-button release
// sets `released` and runs the callback once before the toolkit handles the
// release, so that the owner commits a drag once instead of on every
// movement. A key that moves the value commits the same way, once per key.
// A focus given from the keyboard is framed (widgets/FocusMark.h).
// Everything else is the toolkit's.

#include "widgets/FocusMark.h"

#include <FL/Fl.H>

namespace kv {

template <class Valuator>
class CommitOnRelease : public Valuator {
public:
    using Valuator::Valuator;

    int handle(int event) override
    {
        if (event == FL_RELEASE && Fl::event_key() == FL_Button + 1) {
            released = true;
            this->do_callback(this, this->user_data());
        }
        if (event == FL_KEYBOARD) {
            // A key that moves the value commits at once, as a release does:
            // the owner never keeps a value the pedal has not heard.
            const double before = this->value();
            const int taken = Valuator::handle(event);
            if (taken && this->value() != before) {
                released = true;
                this->do_callback(this, this->user_data());
            }
            return taken;
        }
        const int taken = Valuator::handle(event);
        if (event == FL_FOCUS || event == FL_UNFOCUS) {
            repaint_focus_area(*this);
            // A scrollbar refuses the focus on its own; as a value control
            // it takes it like a slider, so that Tab reaches it.
            if (this->visible_focus() && Fl::visible_focus()) return 1;
        }
        return taken;
    }

    void draw() override
    {
        Valuator::draw();
        draw_focus_mark(*this);
    }

    // True from a left-button release until the owner's callback clears it.
    bool released = false;
};

} // namespace kv
