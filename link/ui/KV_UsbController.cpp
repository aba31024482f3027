#include "link/ui/KV_UsbController.h"

#include <FL/Fl.H>

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
        set_event_pump([] { Fl::wait(0.001); });
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
    if (owner_.progress) owner_.progress->copy_label(label.c_str());
}

void KV_UsbController::ProgressSink::redraw()
{
    if (owner_.progress) owner_.progress->redraw();
    owner_.Fl_Group::redraw();
}

} // namespace kv
