#pragma once
// The pedal link as the main window holds it: an FLTK group that owns the
// progress indicator the long transfers move, and the link core (UsbLink)
// whose operations it inherits. While an exchange waits, the toolkit keeps
// processing events in the same wait that watches the port, so the window
// repaints and takes input and the reply is read as soon as it has come; an
// operation started from such an event while another one waits is refused
// with a failure result.

#include "link/FtDriver.h"
#include "link/UsbLink.h"
#include "platform/Clock.h"

#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>

#include <string>

namespace kv {

class KV_UsbController : public Fl_Group, public UsbLink {
public:
    // The indicator's colours, in the toolkit's RGB form.
    static constexpr Fl_Color kProgressBackground = 0x88888800;   // RGB 136, 136, 136
    static constexpr Fl_Color kProgressBar = 0x8ed3d300;          // RGB 142, 211, 211
    static constexpr Fl_Color kProgressLabel = 0x24333700;        // RGB 36, 51, 55

    // The group at (x, y, w, h), no label, with its progress indicator at
    // 385, 565, 200 x 26. With a hand-driven clock (ManualClock) the event
    // pump moves that clock 1 ms per pass instead of waiting for real.
    KV_UsbController(int x, int y, int w, int h, FtDriver& driver, Clock& clock = system_clock());
    ~KV_UsbController() override;

    Fl_Progress* progress = nullptr;   // owned (a child of the group)

private:
    void wait_with_events(const LinkWait& wait);

    class ProgressSink : public LinkProgress {
    public:
        explicit ProgressSink(KV_UsbController& owner) : owner_(owner) {}
        void set_value(double value) override;
        void set_label(const std::string& label) override;
        void redraw() override;

    private:
        KV_UsbController& owner_;
    };

    ProgressSink sink_{*this};
};

} // namespace kv
