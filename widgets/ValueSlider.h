#pragma once
// Value slider (slider with its number beside it) with the same
// commit-on-release flag as Slider.

#include "widgets/CommitOnRelease.h"

#include <FL/Fl_Value_Slider.H>

namespace kv {

class ValueSlider : public CommitOnRelease<Fl_Value_Slider> {
public:
    ValueSlider(int x, int y, int w, int h, const char* label = nullptr) : CommitOnRelease(x, y, w, h, label) {}
};

} // namespace kv
