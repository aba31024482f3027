// The toolkit's own dialogs and the link's progress label, as the toolkit is
// given them: a text with an '@' (every alert ends with the support address)
// must reach the screen whole.

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "platform/Clock.h"
#include "widgets/LiteralLabel.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr const char* kLine = "Direct support email : support@brakwell.com";

// Width the toolkit gives a label when it draws it, symbols parsed.
int drawn_width(const char* label, Fl_Font font, Fl_Fontsize size)
{
    fl_font(font, size);
    int w = 0;
    int h = 0;
    fl_measure(label, w, h, 1);
    return w;
}

int plain_width(const char* text, Fl_Font font, Fl_Fontsize size)
{
    fl_font(font, size);
    return int(fl_width(text) + 0.5);
}

// Looks into the dialog the toolkit has open: the box that holds the message
// is recorded, and the dialog closed.
struct DialogSpy {
    std::string label;
    Fl_Font font = FL_HELVETICA;
    Fl_Fontsize size = FL_NORMAL_SIZE;
    int looks = 0;

    static void look(void* data)
    {
        auto* spy = static_cast<DialogSpy*>(data);
        ++spy->looks;
        for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
            for (int i = 0; i < w->children(); ++i) {
                Fl_Widget* c = w->child(i);
                if (c->label() && std::strstr(c->label(), "support")) {
                    spy->label = c->label();
                    spy->font = c->labelfont();
                    spy->size = c->labelsize();
                    w->hide();
                    return;
                }
            }
        }
        if (spy->looks < 200) Fl::repeat_timeout(0.02, look, data);
    }
};

TEST(ToolkitDialogs, AlertMessageAndChoiceShowTheAddressWhole)
{
    kv::set_dialogs(nullptr);   // the toolkit's own
    const std::function<void()> shows[] = {
        [] { kv::dialogs().alert(kLine); },
        [] { kv::dialogs().message(kLine); },
        [] { kv::dialogs().choice(kLine, "Cancel", "Proceed", nullptr); },
    };
    for (const auto& show : shows) {
        DialogSpy spy;
        Fl::add_timeout(0.02, DialogSpy::look, &spy);
        show();
        Fl::remove_timeout(DialogSpy::look, &spy);
        ASSERT_FALSE(spy.label.empty()) << "no dialog seen";
        EXPECT_EQ(spy.label, "Direct support email : support@@brakwell.com");
        EXPECT_NEAR(drawn_width(spy.label.c_str(), spy.font, spy.size), plain_width(kLine, spy.font, spy.size), 2);
    }
}

// The controller with the link's progress hook in reach.
struct Controller : kv::KV_UsbController {
    using kv::KV_UsbController::KV_UsbController;
    using kv::UsbLink::progress_label;
};

TEST(ToolkitLabels, ProgressLabelWithAnAtSignIsDrawnAsWritten)
{
    Fl_Double_Window win(900, 620);
    kv::ManualClock clock;
    kv::InProcessDriver driver(clock);
    Controller usb(625, 445, 200, 24, driver, clock);
    win.end();
    usb.progress_label(kLine);
    const char* label = usb.progress->label();
    ASSERT_NE(label, nullptr);
    EXPECT_NEAR(drawn_width(label, usb.progress->labelfont(), usb.progress->labelsize()),
                plain_width(kLine, usb.progress->labelfont(), usb.progress->labelsize()), 2);
    EXPECT_EQ(kv::literal_label("a@b@@c"), "a@@b@@@@c");
}

} // namespace
