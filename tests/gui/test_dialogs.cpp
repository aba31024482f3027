// The toolkit's own dialogs and the link's progress label, as the toolkit is
// given them: a text with an '@' (every alert ends with the support address)
// must reach the screen whole.

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "platform/Clock.h"
#include "widgets/LiteralLabel.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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

// What one of our dialogs looks like: its size, its message box and its
// buttons, read from the window while it is open, then answered Cancel.
struct DialogLayout {
    int w = 0, h = 0;
    std::string title;
    const Fl_Widget* message = nullptr;
    int message_fits = 0;   // 1 when the message's wrapped text fits its box
    struct Button {
        std::string label;
        int x, y, w, h;
        int text_w;
    };
    std::vector<Button> buttons;
    int looks = 0;

    static void look(void* data)
    {
        auto* spy = static_cast<DialogLayout*>(data);
        ++spy->looks;
        Fl_Window* d = Fl::modal();
        if (!d) {
            if (spy->looks < 200) Fl::repeat_timeout(0.02, look, data);
            return;
        }
        spy->w = d->w();
        spy->h = d->h();
        spy->title = d->label() ? d->label() : "";
        for (int i = 0; i < d->children(); ++i) {
            Fl_Widget* c = d->child(i);
            if (auto* b = dynamic_cast<Fl_Button*>(c)) {
                fl_font(b->labelfont(), b->labelsize());
                // The Enter button draws its arrow beside the label.
                const int arrow = dynamic_cast<Fl_Return_Button*>(b) ? std::min(b->h(), b->w() / 3) : 0;
                spy->buttons.push_back({b->label(), b->x(), b->y(), b->w() - arrow, b->h(),
                                        int(fl_width(b->label()) + 0.5)});
            } else if (c->label() && std::strlen(c->label()) > 3) {
                spy->message = c;
                fl_font(c->labelfont(), c->labelsize());
                int mw = c->w(), mh = 0;
                fl_measure(c->label(), mw, mh, 1);
                spy->message_fits = mw <= c->w() && mh <= c->h();
            }
        }
        d->hide();   // closed: Cancel
    }
};

TEST(OurDialogs, FollowTheZoomAndFitTheirTexts)
{
    kv::set_dialogs(nullptr);
    Fl_Double_Window main_window(1070, 650, "main");
    main_window.end();
    const std::string drop =
        "Preset 1 (\"Fast Rotary\") dropped on Preset 3 (\"Vintage Vibe\").\n\nMove here: the presets between "
        "shift by one slot.";
    struct Case {
        const char* name;
        std::function<void()> show;
    };
    const Case cases[] = {
        {"replace", [] { kv::dialogs().choice("A preset with the same name already existed, continue to replace?",
                                              "Cancel", "Yes just replace it", nullptr); }},
        {"factory reset", [] { kv::dialogs().choice("All presets and settings are replaced. " + std::string(kLine),
                                                    "Cancel", "Proceed", nullptr); }},
        {"slot drop", [&] { kv::dialogs().choose(drop, {"Cancel", "Copy", "Swap", "Move here"}); }},
        {"alert", [] { kv::dialogs().alert(kLine); }},
    };
    int sx = 0, sy = 0, screen_w = 0, sh = 0;
    Fl::screen_work_area(sx, sy, screen_w, sh);
    for (const Case& c : cases) {
        DialogLayout at100;
        for (double zoom : {1.0, 0.75, 2.0}) {
            kv::apply_zoom(main_window, zoom);
            DialogLayout spy;
            Fl::add_timeout(0.02, DialogLayout::look, &spy);
            c.show();
            Fl::remove_timeout(DialogLayout::look, &spy);
            ASSERT_GT(spy.w, 0) << c.name << " at " << zoom << ": no dialog seen";
            EXPECT_FALSE(spy.title.empty()) << c.name;
            EXPECT_EQ(spy.message_fits, 1) << c.name << " at " << zoom << ": the message is cut";
            for (size_t i = 0; i < spy.buttons.size(); ++i) {
                const auto& b = spy.buttons[i];
                EXPECT_LE(b.text_w + 8, b.w) << c.name << " at " << zoom << ": \"" << b.label << "\" spills";
                EXPECT_LE(b.x + b.w, spy.w) << c.name << ": \"" << b.label << "\" past the edge";
                EXPECT_LE(b.y + b.h, spy.h) << c.name << ": \"" << b.label << "\" past the edge";
                for (size_t j = 0; j < i; ++j) {
                    const auto& o = spy.buttons[j];
                    EXPECT_TRUE(b.x >= o.x + o.w || o.x >= b.x + b.w || b.y >= o.y + o.h || o.y >= b.y + b.h)
                        << c.name << " at " << zoom << ": \"" << b.label << "\" over \"" << o.label << "\"";
                }
            }
            if (zoom == 1.0) {
                at100 = spy;
            } else if (at100.w * zoom <= screen_w - 160) {
                EXPECT_NEAR(spy.w, at100.w * zoom, 6) << c.name << " at " << zoom;
                EXPECT_NEAR(spy.h, at100.h * zoom, 6) << c.name << " at " << zoom;
            } else {
                // Too wide for the screen when zoomed whole: its text wraps
                // to the screen instead.
                EXPECT_LE(spy.w, screen_w) << c.name << " at " << zoom;
            }
        }
    }
    kv::reset_zoom();
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
