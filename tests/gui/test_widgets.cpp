// The program's own valuators and text fields: commit on release and the
// colour changes as the pointer and the focus come and go.

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "widgets/Input.h"
#include "widgets/Scrollbar.h"
#include "widgets/Slider.h"
#include "widgets/TextInput.h"
#include "widgets/ValueSlider.h"

namespace {

// Puts the pointer at (x, y) with the given button (1 left, 2 middle, 3 right).
void pointer(int x, int y, int button)
{
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = x;
    Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + button;
    Fl::e_clicks = 0;
    Fl::e_is_click = 0;
}

int send(Fl_Widget* w, int event, int x, int y, int button)
{
    pointer(x, y, button);
    Fl::e_state = (event == FL_RELEASE) ? 0 : (button == 1 ? FL_BUTTON1 : button == 2 ? FL_BUTTON2 : FL_BUTTON3);
    return w->handle(event);
}

// What the owners do: record every callback and commit once per release.
struct Owner {
    std::vector<bool> calls;   // released flag as each callback saw it
    std::vector<double> commits;

    template <typename W>
    static void cb(Fl_Widget* w, void* data)
    {
        auto* self = static_cast<Owner*>(data);
        auto* v = static_cast<W*>(w);
        self->calls.push_back(v->released);
        if (v->released) {
            v->released = false;
            self->commits.push_back(v->value());
        }
    }
};

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<Fl_Double_Window>(0, 0, 400, 300, "widgets");
        win->end();
    }
    template <typename W>
    W* add(W* w)
    {
        win->add(w);
        return w;
    }
    void show()
    {
        win->show();
        Fl::check();
    }
    std::unique_ptr<Fl_Double_Window> win;
};

// ---- valuators -------------------------------------------------------------

template <typename W>
W* make_valuator(int x, int y, int w, int h);
template <>
kv::Slider* make_valuator<kv::Slider>(int x, int y, int w, int h)
{
    return new kv::Slider(FL_HOR_NICE_SLIDER, x, y, w, h);
}
template <>
kv::ValueSlider* make_valuator<kv::ValueSlider>(int x, int y, int w, int h)
{
    auto* s = new kv::ValueSlider(x, y, w, h);
    s->type(FL_HOR_SLIDER);
    return s;
}
template <>
kv::Scrollbar* make_valuator<kv::Scrollbar>(int x, int y, int w, int h)
{
    auto* s = new kv::Scrollbar(x, y, w, h);
    s->type(FL_HORIZONTAL);
    return s;
}

template <typename W>
class Valuator : public Window {
protected:
    void SetUp() override
    {
        Window::SetUp();
        v = add(make_valuator<W>(20, 20, 300, 20));
        v->range(0, 100);
        v->step(1);
        v->value(50);
        v->callback(Owner::cb<W>, &owner);
        show();
    }
    // A point inside the widget at the given fraction of its width.
    int at(double f) const { return v->x() + int(f * v->w()); }
    int mid_y() const { return v->y() + v->h() / 2; }

    W* v = nullptr;
    Owner owner;
};

using ValuatorTypes = ::testing::Types<kv::Slider, kv::ValueSlider, kv::Scrollbar>;
TYPED_TEST_SUITE(Valuator, ValuatorTypes);

TYPED_TEST(Valuator, StartsNotReleased)
{
    EXPECT_FALSE(this->v->released);
}

TYPED_TEST(Valuator, LeftReleaseWithoutMovementCommitsTheUnchangedValueOnce)
{
    send(this->v, FL_RELEASE, this->at(0.5), this->mid_y(), 1);
    ASSERT_EQ(this->owner.calls.size(), 1u);
    EXPECT_TRUE(this->owner.calls[0]);
    ASSERT_EQ(this->owner.commits.size(), 1u);
    EXPECT_EQ(this->owner.commits[0], 50.0);
    EXPECT_FALSE(this->v->released);   // the owner cleared it
}

TYPED_TEST(Valuator, RightOrMiddleReleaseNeitherFlagsNorCalls)
{
    send(this->v, FL_RELEASE, this->at(0.5), this->mid_y(), 3);
    send(this->v, FL_RELEASE, this->at(0.5), this->mid_y(), 2);
    EXPECT_FALSE(this->v->released);
    EXPECT_TRUE(this->owner.commits.empty());
    for (bool r : this->owner.calls) EXPECT_FALSE(r);
}

TYPED_TEST(Valuator, DragUpdatesWithoutCommittingAndTheReleaseCommitsOnce)
{
    send(this->v, FL_PUSH, this->at(0.5), this->mid_y(), 1);
    send(this->v, FL_DRAG, this->at(0.7), this->mid_y(), 1);
    send(this->v, FL_DRAG, this->at(0.9), this->mid_y(), 1);
    double dragged = this->v->value();
    EXPECT_GT(dragged, 50.0);
    // Every callback during the drag saw released false.
    ASSERT_FALSE(this->owner.calls.empty());
    for (bool r : this->owner.calls) EXPECT_FALSE(r);
    EXPECT_TRUE(this->owner.commits.empty());

    send(this->v, FL_RELEASE, this->at(0.9), this->mid_y(), 1);
    ASSERT_EQ(this->owner.commits.size(), 1u);
    EXPECT_EQ(this->owner.commits[0], dragged);
}

TYPED_TEST(Valuator, AnOwnerThatDoesNotClearKeepsTheFlag)
{
    // Owners are expected to clear the flag; left alone it stays set.
    this->v->callback([](Fl_Widget*, void*) {}, nullptr);
    send(this->v, FL_RELEASE, this->at(0.5), this->mid_y(), 1);
    EXPECT_TRUE(this->v->released);
}

TEST(SliderType, TheTypeArgumentReachesTheToolkit)
{
    kv::Slider s(FL_HOR_NICE_SLIDER, 0, 0, 140, 17);
    EXPECT_EQ(s.type(), FL_HOR_NICE_SLIDER);
}

// ---- Input -------------------------------------------------------------------

class InputColours : public Window {
protected:
    void SetUp() override
    {
        Window::SetUp();
        in = add(new kv::Input(20, 20, 125, 25));
        other = add(new kv::Input(20, 60, 125, 25));
        show();
    }
    int cx() const { return in->x() + 10; }
    int cy() const { return in->y() + 10; }
    kv::Input* in = nullptr;
    kv::Input* other = nullptr;
};

TEST_F(InputColours, DefaultsAreWhiteRedBlackWhiteAndNotSelected)
{
    EXPECT_EQ(in->idle_color, FL_WHITE);
    EXPECT_EQ(in->hover_color, FL_RED);
    EXPECT_EQ(in->idle_textcolor, FL_BLACK);
    EXPECT_EQ(in->hover_textcolor, FL_WHITE);
    EXPECT_FALSE(in->selected);
}

TEST_F(InputColours, EnterAndFocusShowTheHoverColours)
{
    EXPECT_EQ(send(in, FL_ENTER, cx(), cy(), 1), 1);
    EXPECT_EQ(in->color(), FL_RED);
    EXPECT_EQ(in->textcolor(), FL_WHITE);

    in->color(FL_WHITE);
    in->textcolor(FL_BLACK);
    EXPECT_EQ(in->handle(FL_FOCUS), 1);
    EXPECT_EQ(in->color(), FL_RED);
    EXPECT_EQ(in->textcolor(), FL_WHITE);
}

TEST_F(InputColours, LeavingShowsDarkGreyOnlyWhenSelected)
{
    send(in, FL_ENTER, cx(), cy(), 1);
    in->selected = true;
    EXPECT_EQ(send(in, FL_LEAVE, 300, 200, 1), 1);
    EXPECT_EQ(in->color(), Fl_Color(0x40404000));
    EXPECT_EQ(in->textcolor(), FL_WHITE);

    in->selected = false;
    send(in, FL_ENTER, cx(), cy(), 1);
    EXPECT_EQ(send(in, FL_LEAVE, 300, 200, 1), 1);
    EXPECT_EQ(in->color(), FL_WHITE);
    EXPECT_EQ(in->textcolor(), FL_BLACK);

    // Losing the focus behaves like leaving.
    in->selected = true;
    in->handle(FL_FOCUS);
    EXPECT_EQ(in->handle(FL_UNFOCUS), 1);
    EXPECT_EQ(in->color(), Fl_Color(0x40404000));
}

TEST_F(InputColours, LeftReleaseShowsIdleColoursOtherButtonsChangeNothing)
{
    in->idle_color = FL_BLACK;        // the owner may change the idle look
    in->idle_textcolor = FL_WHITE;
    send(in, FL_ENTER, cx(), cy(), 1);
    EXPECT_EQ(send(in, FL_RELEASE, cx(), cy(), 3), 1);
    EXPECT_EQ(in->color(), FL_RED);
    EXPECT_EQ(send(in, FL_RELEASE, cx(), cy(), 1), 1);
    EXPECT_EQ(in->color(), FL_BLACK);
    EXPECT_EQ(in->textcolor(), FL_WHITE);
}

TEST_F(InputColours, OtherEventsKeepColoursAndTheToolkitResult)
{
    send(in, FL_ENTER, cx(), cy(), 1);
    Fl_Input plain(0, 0, 10, 10);
    pointer(cx(), cy(), 1);
    int expected = plain.handle(FL_MOVE);
    EXPECT_EQ(in->handle(FL_MOVE), expected);
    EXPECT_EQ(in->color(), FL_RED);
}

TEST_F(InputColours, TypingStillEditsTheText)
{
    in->value("");
    in->take_focus();
    Fl::focus(in);
    static char text[] = "Q";
    Fl::e_text = text;
    Fl::e_length = 1;
    Fl::e_keysym = 'q';
    Fl::e_state = 0;
    EXPECT_EQ(in->handle(FL_KEYBOARD), 1);
    EXPECT_STREQ(in->value(), "Q");
}

// ---- TextInput ---------------------------------------------------------------

class TextInputColours : public Window {
protected:
    void SetUp() override
    {
        Window::SetUp();
        in = add(new kv::TextInput(20, 20, 200, 25));
        show();
    }
    int cx() const { return in->x() + 10; }
    int cy() const { return in->y() + 10; }
    kv::TextInput* in = nullptr;
};

TEST_F(TextInputColours, Defaults)
{
    EXPECT_EQ(in->box_color, Fl_Color(0x4444ff00));
    EXPECT_EQ(in->leave_textcolor, FL_WHITE);
    EXPECT_EQ(in->enter_textcolor, Fl_Color(0xcccc0000));
    EXPECT_EQ(in->focus_textfont, FL_HELVETICA);
}

TEST_F(TextInputColours, AClickIntoAFieldWithTextLeavesItEmpty)
{
    in->value("old name");
    send(in, FL_PUSH, cx(), cy(), 1);
    EXPECT_STREQ(in->value(), "old name");   // emptied on the release, not the press
    EXPECT_EQ(send(in, FL_RELEASE, cx(), cy(), 1), 1);
    EXPECT_STREQ(in->value(), "");

    in->value("again");
    EXPECT_EQ(send(in, FL_RELEASE, cx(), cy(), 3), 1);   // any button
    EXPECT_STREQ(in->value(), "");
}

TEST_F(TextInputColours, PointerAndFocusUseTheOwnersColours)
{
    // The offline prompt's settings.
    in->box_color = FL_WHITE;
    in->leave_textcolor = FL_BLUE;
    in->enter_textcolor = FL_BLACK;
    in->focus_textfont = FL_COURIER;

    EXPECT_EQ(send(in, FL_ENTER, cx(), cy(), 1), 1);
    EXPECT_EQ(in->color(), FL_WHITE);
    EXPECT_EQ(in->textcolor(), FL_BLACK);

    EXPECT_EQ(send(in, FL_LEAVE, 300, 200, 1), 1);
    EXPECT_EQ(in->textcolor(), FL_BLUE);

    in->color(FL_RED);
    EXPECT_EQ(in->handle(FL_FOCUS), 1);
    EXPECT_EQ(in->textfont(), FL_COURIER);
    EXPECT_EQ(in->textsize(), 14);
    EXPECT_EQ(in->color(), FL_WHITE);

    in->color(FL_RED);
    EXPECT_EQ(in->handle(FL_UNFOCUS), 1);
    EXPECT_EQ(in->color(), FL_WHITE);
}

TEST_F(TextInputColours, OtherEventsChangeNothing)
{
    in->value("keep");
    in->color(FL_RED);
    Fl_Input plain(0, 0, 10, 10);
    pointer(cx(), cy(), 1);
    int expected = plain.handle(FL_MOVE);
    EXPECT_EQ(in->handle(FL_MOVE), expected);
    EXPECT_EQ(in->color(), FL_RED);
    EXPECT_STREQ(in->value(), "keep");
}

} // namespace
