#pragma once
// Scrollbar used as a value control, with the commit-on-release flag.

#include <FL/Fl_Scrollbar.H>

namespace kv {

class Scrollbar : public Fl_Scrollbar {
public:
    Scrollbar(int x, int y, int w, int h, const char* label = nullptr);
    ~Scrollbar() override;

    // A left-button release sets `released` and runs the callback once before
    // the toolkit handles the release.
    int handle(int event) override;

    bool released = false;
};

} // namespace kv
