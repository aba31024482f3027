// The link's FLTK group: its progress indicator, the progress the transfers
// show on it, and the event processing while an exchange waits.

#include <gtest/gtest.h>

#include "link/InProcessDriver.h"
#include "link/PedalWire.h"
#include "link/SerialDriver.h"
#include "link/ui/KV_UsbController.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Progress.H>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace kv {
namespace {

class UsbControllerTest : public ::testing::Test {
protected:
    UsbControllerTest()
    {
        window = new Fl_Double_Window(1000, 620);
        usb = new KV_UsbController(625, 445, 200, 24, driver, clock);
        window->end();
        usb->set_console([this](const std::string& s) { console += s; });
    }
    ~UsbControllerTest() override { delete window; }

    ManualClock clock;
    PedalModel pedal{clock};
    InProcessDriver driver{pedal, clock};
    Fl_Double_Window* window = nullptr;
    KV_UsbController* usb = nullptr;
    std::string console;
};

TEST_F(UsbControllerTest, BuildsItsProgressIndicator)
{
    EXPECT_EQ(usb->x(), 625);
    EXPECT_EQ(usb->y(), 445);
    EXPECT_EQ(usb->w(), 200);
    EXPECT_EQ(usb->h(), 24);
    EXPECT_EQ(usb->label(), nullptr);
    Fl_Progress* p = usb->progress;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->parent(), usb);
    EXPECT_EQ(p->x(), 385);
    EXPECT_EQ(p->y(), 565);
    EXPECT_EQ(p->w(), 200);
    EXPECT_EQ(p->h(), 26);
    EXPECT_STREQ(p->label(), "- - -");
    EXPECT_EQ(p->minimum(), 0.0f);
    EXPECT_EQ(p->maximum(), 100.0f);
    EXPECT_EQ(p->color(), 0x88888800u);
    EXPECT_EQ(p->selection_color(), 0x8ed3d300u);
    EXPECT_EQ(p->labelcolor(), 0x24333700u);
    EXPECT_EQ(p->labelfont(), 0);
    EXPECT_EQ(p->labelsize(), 12);
    EXPECT_EQ(usb->ft_handle(), 0u);
}

TEST_F(UsbControllerTest, TransfersMoveTheIndicator)
{
    ASSERT_TRUE(usb->read_preset(4));
    EXPECT_EQ(usb->progress->value(), 75.0f);

    const PedalSlot* slot = pedal.slot(4);
    EXPECT_EQ(link_code(usb->store_preset(4, slot->parameters, make_title("Moved"), slot->program_x, slot->program_y)), 0);
    EXPECT_EQ(usb->progress->value(), 100.0f);
    EXPECT_STREQ(usb->progress->label(), "w o r k i n g ...");

    std::array<uint8_t, kPresetImageSize> image{};
    ASSERT_TRUE(usb->read_all(image));
    EXPECT_EQ(usb->progress->value(), 90.0f);
}

TEST_F(UsbControllerTest, WaitingWithAHandDrivenClockTakesNoRealTime)
{
    pedal.set_no_answer(true);
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = clock.now();
    EXPECT_FALSE(usb->get_pedal_state());
    const double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(clock.now() - c0, 1.0);
    EXPECT_LT(clock.now() - c0, 1.01);
    EXPECT_LT(real, 0.9);   // a full timeout, with no real second spent
}

struct Nested {
    KV_UsbController* usb = nullptr;
    int runs = 0;
    bool result = true;
};

void try_during_wait(void* data)
{
    auto* n = static_cast<Nested*>(data);
    if (n->runs++ == 0) n->result = n->usb->read_preset(1).has_value();
}

TEST_F(UsbControllerTest, EventsRunDuringAWaitAndCannotStartASecondExchange)
{
    pedal.set_reply_delay(0.02);
    Nested nested{usb};
    Fl::add_idle(try_during_wait, &nested);
    EXPECT_TRUE(usb->get_pedal_state());
    Fl::remove_idle(try_during_wait, &nested);
    EXPECT_GE(nested.runs, 1);   // the toolkit ran while the link waited
    EXPECT_FALSE(nested.result);
    EXPECT_NE(console.find("Pedal link busy: request refused.\n"), std::string::npos);
    EXPECT_EQ(std::count(driver.writes().begin(), driver.writes().end(), std::vector<uint8_t>{0x01}), 0);
    EXPECT_TRUE(usb->read_preset(1));
}

// A pedal model on the master side of a pseudo-terminal, served from the
// toolkit's event loop: it can only answer while the link's wait runs the
// toolkit's events.
struct PtyPedal {
    PedalModel model;
    int master = -1;
    int slave = -1;
    std::string path;
    int served = 0;

    PtyPedal()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
        if (master >= 0) fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPedal()
    {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    static void serve(FL_SOCKET fd, void* data)
    {
        auto* self = static_cast<PtyPedal*>(data);
        uint8_t buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return;
        ++self->served;
        std::vector<uint8_t> reply;
        self->model.receive(buf, size_t(n), reply);
        size_t done = 0;
        while (done < reply.size()) {
            const ssize_t w = ::write(fd, reply.data() + done, reply.size() - done);
            if (w > 0) done += size_t(w);
            else if (w < 0 && errno != EAGAIN && errno != EINTR) break;
        }
    }
};

TEST(UsbControllerOnAPort, TheWaitRunsTheToolkitAndWakesOnTheReply)
{
    PtyPedal pedal;
    ASSERT_FALSE(pedal.path.empty());
    const std::string devices = ::testing::TempDir() + "kv_usb_devices_" + std::to_string(getpid());
    {
        std::ofstream out(devices);
        out << pedal.path << "\t" << kPedalDescription << "\tTSV0417A\n";
    }
    setenv("KORVANE_DEVICES", devices.c_str(), 1);
    Fl::add_fd(pedal.master, FL_READ, PtyPedal::serve, &pedal);
    {
        SerialDriver driver;
        Fl_Double_Window window(1000, 620);
        KV_UsbController usb(625, 445, 200, 24, driver);
        window.end();
        usb.set_console([](const std::string&) {});

        pedal.model.set_firmware_version({2, 5, 1});
        ASSERT_TRUE(usb.get_pedal_state());
        EXPECT_EQ(usb.buffer()[0], 0x25);
        // A reply of 1504 bytes (past the line's 255-byte wake-up step) and a
        // store with two echoed programs.
        std::array<uint8_t, kPresetImageSize> image{};
        pedal.model.slot(31)->title = make_title("Last Slot");
        ASSERT_TRUE(usb.read_all(image));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()) + kPresetImageTitlesOffset + 31 * 12, 12),
                  "Last Slot   ");
        DspProgram x{};
        for (size_t i = 0; i < kDspProgramSize; ++i) x.bytes[i] = uint8_t(i * 11);
        EXPECT_EQ(link_code(usb.store_preset(4, default_parameters(), make_title("Port"), x, x)), 0);
        EXPECT_EQ(std::memcmp(pedal.model.slot(4)->program_y.bytes, x.bytes, kDspProgramSize), 0);
        EXPECT_GE(pedal.served, 3);
    }
    Fl::remove_fd(pedal.master);
    unsetenv("KORVANE_DEVICES");
    std::remove(devices.c_str());
}

} // namespace
} // namespace kv
