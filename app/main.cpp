// Entry point: builds the main window (which looks for the pedal before it
// returns), runs the event loop until the window closes, and returns the
// loop's result.

#include "app/Korvane.h"

#include <FL/Fl.H>

#include <cstdio>

namespace {
// The close box only hides the window, so that the event loop ends.
void hide_window(Fl_Widget* w, void*) { w->hide(); }
} // namespace

int main()
{
    // Console lines show at once even when standard output is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    auto* window = new kv::Korvane(kv::kWindowWidth, kv::kWindowHeight, kv::kWindowTitle);
    window->callback(hide_window);
    const int result = Fl::run();
    delete window;
    return result;
}
