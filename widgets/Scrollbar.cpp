#include "widgets/Scrollbar.h"

#include <FL/Fl.H>

namespace kv {

Scrollbar::Scrollbar(int x, int y, int w, int h, const char* label)
    : Fl_Scrollbar(x, y, w, h, label)
{
}

Scrollbar::~Scrollbar() = default;

int Scrollbar::handle(int event)
{
    if (event == FL_RELEASE && Fl::event_key() == FL_Button + 1) {
        released = true;
        do_callback(this, user_data());
    }
    return Fl_Scrollbar::handle(event);
}

} // namespace kv
