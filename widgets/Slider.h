#pragma once
// Horizontal/vertical slider that tells its owner when the left mouse button
// is let go, so a drag is committed once instead of on every movement.

#include "widgets/CommitOnRelease.h"

#include <FL/Fl_Slider.H>

namespace kv {

class Slider : public CommitOnRelease<Fl_Slider> {
public:
    // type is the toolkit slider type (FL_HOR_NICE_SLIDER and so on).
    Slider(unsigned char type, int x, int y, int w, int h, const char* label = nullptr)
        : CommitOnRelease(type, x, y, w, h, label)
    {
    }
};

} // namespace kv
