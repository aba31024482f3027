#include "link/ui/KV_UsbController.h"

#include "widgets/LiteralLabel.h"

#include <FL/Fl.H>

#include <algorithm>

namespace kv {

KV_UsbController::KV_UsbController(int x, int y, int w, int h, FtDriver& driver, Clock& clock)
    : Fl_Group(x, y, w, h), UsbLink(driver, clock)
{
    // Fl_Group's constructor has begun the group: the indicator becomes its child.
    progress = new Fl_Progress(385, 565, 200, 26, "- - -");
    progress->minimum(0);
    progress->maximum(100);
    progress->color(kProgressBackground);
    progress->selection_color(kProgressBar);
    progress->labelcolor(kProgressLabel);
    progress->labelfont(0);
    progress->labelsize(12);
    end();

    set_progress(&sink_);
    if (ManualClock* manual = dynamic_cast<ManualClock*>(&clock)) {
        set_event_pump([manual] {
            Fl::check();
            manual->advance(0.001);
        });
    } else {
        set_waiter([this](const LinkWait& wait) { wait_with_events(wait); });
    }
}

void KV_UsbController::wait_with_events(const LinkWait& wait)
{
    if (wait.kind != LinkWait::Kind::Reply) {
        Fl::wait(wait.seconds);
        return;
    }
    // One wait for both: the toolkit's events and the port, which polls
    // readable once more of the reply has come.
    bool ready = false;
    const int fd = driver().receive_descriptor(ft_handle(), wait.bytes, &ready);
    if (ready) {
        Fl::check();
    } else if (fd >= 0) {
        Fl::add_fd(fd, FL_READ, [](FL_SOCKET, void*) {});
        Fl::wait(wait.seconds);
        Fl::remove_fd(fd, FL_READ);
    } else {
        Fl::wait(std::min(wait.seconds, 0.001));
    }
}

KV_UsbController::~KV_UsbController()
{
    set_progress(nullptr);
    if (progress) {
        remove(progress);
        delete progress;
        progress = nullptr;
    }
}

void KV_UsbController::ProgressSink::set_value(double value)
{
    if (owner_.progress) owner_.progress->value(float(value));
}

void KV_UsbController::ProgressSink::set_label(const std::string& label)
{
    if (owner_.progress) owner_.progress->copy_label(literal_label(label).c_str());
}

void KV_UsbController::ProgressSink::redraw()
{
    if (owner_.progress) owner_.progress->redraw();
    owner_.Fl_Group::redraw();
}

} // namespace kv
