#include "widgets/Slider.h"

#include <FL/Fl.H>

namespace kv {

Slider::Slider(unsigned char type, int x, int y, int w, int h, const char* label)
    : Fl_Slider(type, x, y, w, h, label)
{
}

Slider::~Slider() = default;

int Slider::handle(int event)
{
    if (event == FL_RELEASE && Fl::event_key() == FL_Button + 1) {
        released = true;
        do_callback(this, user_data());
    }
    return Fl_Slider::handle(event);
}

} // namespace kv
