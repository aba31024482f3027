#pragma once
// Scrollbar used as a value control, with the commit-on-release flag.

#include "widgets/CommitOnRelease.h"

#include <FL/Fl_Scrollbar.H>

namespace kv {

class Scrollbar : public CommitOnRelease<Fl_Scrollbar> {
public:
    Scrollbar(int x, int y, int w, int h, const char* label = nullptr) : CommitOnRelease(x, y, w, h, label) {}
};

} // namespace kv
