#pragma once
// The pieces every main-window test builds around its window: a scratch
// home folder, a manual clock, the simulated pedal (attached only where a
// test says so) behind the in-process driver, recorded dialogs, the exit
// statuses the window asked for, and the window itself.
//
// A fixture derives from `test::WindowTest`, prepares the pedal in its own
// SetUp (after calling this one) and calls start(); what it does once the
// start-up connect sequence has run goes in after_start().

// GoogleTest and the pedal model before the toolkit (X11 defines None).
#include <gtest/gtest.h>
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "tests/support/KorvaneTestAccess.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/WindowInput.h"

#include <FL/Fl_Tabs.H>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv::test {

class WindowTest : public ::testing::Test {
protected:
    // `scratch_prefix` names the scratch home folder, one per fixture.
    explicit WindowTest(const std::string& scratch_prefix) : scratch_(scratch_prefix) {}

    void SetUp() override
    {
        ASSERT_TRUE(scratch_.ok());
        set_dialogs(&dialogs_);
    }
    void TearDown() override
    {
        window_.reset();
        set_dialogs(nullptr);
    }

    // Puts the simulated pedal on the driver under this serial number.
    void attach_pedal(const std::string& serial = "TV12345") { driver_.attach(kPedalDescription, serial, &pedal_); }

    // Keeps the command byte of every request the pedal takes in commands_.
    void record_commands()
    {
        pedal_.set_request_observer([this](const PedalRequest& r) { commands_.push_back(r.command); });
    }

    // The setup the program gives its window; the exit hook records the status.
    KorvaneSetup window_setup()
    {
        KorvaneSetup setup;
        setup.driver = &driver_;
        setup.clock = &clock_;
        setup.exit = [this](int code) { exit_codes_.push_back(code); };
        return setup;
    }

    // Builds the window and runs the start-up connect sequence, then after_start().
    Korvane& start()
    {
        const KorvaneSetup setup = window_setup();
        window_ = std::make_unique<Korvane>(kWindowWidth, kWindowHeight, kWindowTitle, setup);
        start_window(*window_, setup);
        after_start();
        return *window_;
    }
    // What a fixture does once the window has started (settle the toolkit,
    // forget the start-up's requests); nothing by default.
    virtual void after_start() {}

    // Shows a page of the window's tabs as a click on its tab does.
    void pick_tab(Fl_Widget* page)
    {
        ui(*window_).tabs->value(page);
        window_->tab_changed();
    }

    // Mouse and keys through the toolkit's dispatch to this window
    // (tests/support/WindowInput.h).
    void click(Fl_Widget* target) { test::click(window_.get(), target); }
    void drag_to_end(ValueSlider* s, bool right) { test::drag_to_end(window_.get(), s, right); }
    void key(int keysym) { test::key(window_.get(), keysym); }
    static void pick(Fl_Choice* c, int index) { test::pick(c, index); }

    ScratchHome scratch_;
    std::string home_ = scratch_.path();
    ManualClock clock_;
    PedalModel pedal_{clock_};
    InProcessDriver driver_{clock_};
    RecordingDialogs dialogs_;
    std::vector<int> exit_codes_;
    std::vector<uint8_t> commands_;   // with record_commands()
    std::unique_ptr<Korvane> window_;
};

}  // namespace kv::test
