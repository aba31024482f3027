#include "widgets/ValueSlider.h"

#include <FL/Fl.H>

namespace kv {

ValueSlider::ValueSlider(int x, int y, int w, int h, const char* label)
    : Fl_Value_Slider(x, y, w, h, label)
{
}

ValueSlider::~ValueSlider() = default;

int ValueSlider::handle(int event)
{
    if (event == FL_RELEASE && Fl::event_key() == FL_Button + 1) {
        released = true;
        do_callback(this, user_data());
    }
    return Fl_Value_Slider::handle(event);
}

} // namespace kv
