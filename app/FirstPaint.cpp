#include "app/FirstPaint.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <poll.h>

#include <chrono>

namespace kv {

void paint_before_waiting(Fl_Window& window)
{
    if (!window.shown() || !fl_display) return;
    const Window xid = fl_xid(&window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    XFlush(fl_display);
    bool exposed = false;
    while (!exposed && std::chrono::steady_clock::now() < deadline) {
        XEvent event;
        if (XCheckTypedWindowEvent(fl_display, xid, MapNotify, &event) ||
            XCheckTypedWindowEvent(fl_display, xid, ConfigureNotify, &event) ||
            XCheckTypedWindowEvent(fl_display, xid, Expose, &event)) {
            exposed = event.type == Expose;
            fl_handle(event);
            continue;
        }
        pollfd display{ConnectionNumber(fl_display), POLLIN, 0};
        poll(&display, 1, 10);
    }
    Fl::flush();
}

} // namespace kv
