#pragma once
// Horizontal/vertical slider that tells its owner when the left mouse button
// is let go, so a drag is committed once instead of on every movement.

#include <FL/Fl_Slider.H>

namespace kv {

class Slider : public Fl_Slider {
public:
    // type is the toolkit slider type (FL_HOR_NICE_SLIDER and so on).
    Slider(unsigned char type, int x, int y, int w, int h, const char* label = nullptr);
    ~Slider() override;

    // A left-button release sets `released` and runs the callback once before
    // the toolkit handles the release. Everything else is the toolkit's.
    int handle(int event) override;

    // True from a left-button release until the owner's callback clears it.
    bool released = false;
};

} // namespace kv
