#pragma once
// Value slider (slider with its number beside it) with the same
// commit-on-release flag as Slider.

#include <FL/Fl_Value_Slider.H>

namespace kv {

class ValueSlider : public Fl_Value_Slider {
public:
    ValueSlider(int x, int y, int w, int h, const char* label = nullptr);
    ~ValueSlider() override;

    // A left-button release sets `released` and runs the callback once before
    // the toolkit handles the release.
    int handle(int event) override;

    bool released = false;
};

} // namespace kv
