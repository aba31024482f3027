// Every pedal command through the link, against the simulated pedal (and a
// small scripted pedal for answers the model never gives), on a hand-driven
// clock: request bytes, reply handling, results, console lines, progress.

#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Backup.h"
#include "platform/Clock.h"
#include "preset/PresetRecord.h"
#include "sim/PedalModel.h"
#include "tests/support/SimulatedPedal.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

// A pedal that answers from a script: each step waits for `length` request
// bytes and answers with whatever its function returns for them.
class ScriptedPedal : public PedalPort {
public:
    struct Step {
        size_t length;
        std::function<Bytes(const Bytes&)> answer;
    };
    void expect(size_t length, std::function<Bytes(const Bytes&)> answer) { steps_.push_back({length, answer}); }
    void expect_silent(size_t length) { expect(length, [](const Bytes&) { return Bytes{}; }); }
    void expect_echo(size_t length) { expect(length, [](const Bytes& b) { return b; }); }

    void receive(const uint8_t* data, size_t len, Bytes& reply) override
    {
        for (size_t i = 0; i < len; ++i) {
            received.push_back(data[i]);
            part_.push_back(data[i]);
            if (!steps_.empty() && part_.size() == steps_.front().length) {
                Bytes out = steps_.front().answer(part_);
                reply.insert(reply.end(), out.begin(), out.end());
                steps_.pop_front();
                part_.clear();
                if (vanish_when_done && steps_.empty()) gone = true;
            }
        }
    }
    double reply_delay() const override { return delay; }
    bool vanished() const override { return gone; }

    Bytes received;
    double delay = 0.0;
    bool gone = false;
    bool vanish_when_done = false;

private:
    std::deque<Step> steps_;
    Bytes part_;
};

class RecordingProgress : public LinkProgress {
public:
    void set_value(double v) override { values.push_back(v); }
    void set_label(const std::string& l) override { labels.push_back(l); }
    void redraw() override { ++redraws; }
    std::vector<double> values;
    std::vector<std::string> labels;
    int redraws = 0;
};

Bytes bytes_of(const uint8_t* p, size_t n) { return Bytes(p, p + n); }

DspProgram program_with(uint8_t seed)
{
    DspProgram p{};
    for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(seed + i * 7);
    return p;
}

PresetParameters parameters_with(uint8_t seed)
{
    PresetParameters p{};
    for (size_t i = 0; i < kPresetParametersSize; ++i) p.data()[i] = uint8_t(seed + i);
    return p;
}

// The link wired to the simulated pedal, with a pump that moves the clock by 1 ms.
class LinkTest : public ::testing::Test, protected testing_support::PedalOnLink {
protected:
    LinkTest()
    {
        link.set_event_pump([this] {
            ++pumps;
            clock.advance(step);
        });
        link.set_progress(&progress);
    }

    // Seconds the last operation took on the link's clock.
    double elapsed_since(double t0) { return clock.now() - t0; }

    RecordingProgress progress;
    int pumps = 0;
    double step = 0.001;
};

// A link on a scripted pedal.
class ScriptedLinkTest : public ::testing::Test {
protected:
    ScriptedLinkTest()
    {
        link.set_console([this](const std::string& s) { console += s; });
        link.set_event_pump([this] { clock.advance(0.001); });
    }
    ManualClock clock;
    ScriptedPedal pedal;
    InProcessDriver driver{pedal, clock};
    UsbLink link{driver, clock};
    std::string console;
};

// ---------------------------------------------------------------------------
// Device set-up

TEST(LinkSetup, PedalSecondInTheListGivesThePedalsSerialAndConfiguresTheLink)
{
    ManualClock clock;
    ScriptedPedal other;
    ScriptedPedal pedal;
    InProcessDriver driver(clock);
    driver.attach("USB <-> Serial", "FT0001", &other);
    driver.attach("Brakwell Tessivar", "TSV0417A", &pedal);
    UsbLink link(driver, clock);
    std::string console;
    link.set_console([&](const std::string& s) { console += s; });

    std::string serial = "old";
    EXPECT_TRUE(link.setup_device(serial));
    EXPECT_EQ(serial, "TSV0417A");
    EXPECT_EQ(console,
              "FT_OpenEx (open by description) successful. \n"
              "USB Parameters, Timeouts, and Baud-rate setups successful. \n");
    std::vector<std::string> seen;
    for (const auto& c : driver.calls()) {
        if (c.name == "usb_parameters") {
            EXPECT_TRUE(c.a == 512 && c.b == 0);
        } else if (c.name == "timeouts") {
            EXPECT_TRUE(c.a == 500 && c.b == 1000);
        } else if (c.name == "baud_rate") {
            EXPECT_EQ(c.a, 115200u);
        } else if (c.name == "purge") {
            EXPECT_EQ(c.a, 3u);
        }
        seen.push_back(c.name);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"open", "usb_parameters", "timeouts", "baud_rate", "purge", "close"}));
    EXPECT_EQ(link.ft_handle(), 0u);
    EXPECT_FALSE(driver.is_open());
}

TEST(LinkSetup, NoDeviceFailsAtOnce)
{
    ManualClock clock;
    InProcessDriver driver(clock);
    UsbLink link(driver, clock);
    std::string console;
    link.set_console([&](const std::string& s) { console += s; });
    std::string serial = "keep";
    const double t0 = clock.now();
    EXPECT_FALSE(link.setup_device(serial));
    EXPECT_EQ(serial, "keep");
    EXPECT_EQ(console, "FT_OpenEx (open by description) FAILED. Error code 2\n");
    EXPECT_EQ(clock.now(), t0);
}

// A bridge whose list entry for the pedal cannot be read.
class UnlistedDriver : public InProcessDriver {
public:
    using InProcessDriver::InProcessDriver;
    FtStatus get_device_info_detail(uint32_t, FtDeviceInfo*, FtHandle*) override { return FT_OTHER_ERROR; }
};

TEST(LinkSetup, PedalMissingFromTheListLeavesSerialAndClosesTheBridge)
{
    ManualClock clock;
    ScriptedPedal pedal;
    UnlistedDriver driver(pedal, clock);
    UsbLink link(driver, clock);
    link.set_console([](const std::string&) {});
    std::string serial = "keep";
    EXPECT_TRUE(link.setup_device(serial));
    EXPECT_EQ(serial, "keep");
    EXPECT_FALSE(driver.is_open());
    EXPECT_EQ(link.ft_handle(), 0u);
    for (const auto& c : driver.calls()) EXPECT_NE(c.name, "baud_rate");
}

// ---------------------------------------------------------------------------
// No pedal: every operation reports the open failure and returns at once.

TEST(LinkNoDevice, EveryOperationFailsWithoutWaiting)
{
    ManualClock clock;
    InProcessDriver driver(clock);
    UsbLink link(driver, clock);
    std::string console;
    int pumps = 0;
    link.set_console([&](const std::string& s) { console += s; });
    link.set_event_pump([&] { ++pumps; clock.advance(0.001); });

    const std::string with_code = "Device FAILED to open, error code : 2 \n\n";
    const std::string plain = "Device FAILED to open. \n";
    const PresetParameters params{};
    const DspProgram program{};
    const uint8_t data[512] = {};
    std::array<uint8_t, kPresetImageSize> image{};

    struct Case {
        const char* name;
        std::function<bool()> fails;
        std::string line;
    };
    std::vector<Case> cases = {
        {"get_pedal_state", [&] { return !link.get_pedal_state(); }, with_code},
        {"get_globals", [&] { return !link.get_globals(); }, with_code},
        {"set_globals", [&] { return !link.set_globals_record(data); }, with_code},
        {"change_core", [&] { return link_code(link.change_core(params)) == FT_DEVICE_NOT_FOUND; }, plain},
        {"read_all", [&] { return !link.read_all(image); }, with_code},
        {"read_all_matches", [&] { return !ops::read_all_matches(link, image); }, with_code},
        {"write_data", [&] { return link_code(link.write_data(program, 1)) == FT_DEVICE_NOT_FOUND; }, plain},
        {"get_arp_data", [&] { return link_code(link.get_arp_data(0, 0, 0), UsbLink::kArpTimeout) == FT_DEVICE_NOT_FOUND; }, with_code},
        {"set_arp_data", [&] { return link_code(link.set_arp_data(0, 0, 0, 0, data)) == FT_DEVICE_NOT_FOUND; }, with_code},
        {"read_preset", [&] { return !link.read_preset(3); }, with_code},
        {"store_preset",
         [&] { return link_code(link.store_preset(3, params, make_title("x"), program, program)) == FT_DEVICE_NOT_FOUND; },
         with_code},
        {"write_library_block", [&] { return !link.write_library_block(5, data); }, with_code},
        {"write_firmware_page", [&] { return link_code(link.write_firmware_page(0x100, data)) == FT_DEVICE_NOT_FOUND; },
         with_code},
        {"set_version", [&] { return !link.set_version(0x23, 5); }, with_code},
        {"send_one_message", [&] { return !link.send_one_message(); }, with_code},
    };
    for (auto& c : cases) {
        console.clear();
        const double t0 = clock.now();
        EXPECT_TRUE(c.fails()) << c.name;
        EXPECT_EQ(console, c.line) << c.name;
        EXPECT_EQ(clock.now(), t0) << c.name;
        EXPECT_EQ(link.ft_handle(), 0u) << c.name;
    }
    EXPECT_EQ(pumps, 0);
}

// ---------------------------------------------------------------------------
// Get Pedal State and the reply wait

TEST_F(LinkTest, GetPedalStateSendsC0AndLeavesTheTwoStateBytes)
{
    pedal.set_firmware_version({2, 5, 3});
    const double t0 = clock.now();
    EXPECT_TRUE(link.get_pedal_state());
    ASSERT_EQ(driver.writes().size(), 1u);
    EXPECT_EQ(driver.writes()[0], Bytes{0xC0});
    EXPECT_EQ(link.buffer()[0], 0x25);
    EXPECT_EQ(link.buffer()[1], 0x83);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Get Pedal State command successful (1 bytes written).\n"
              "Get Pedal State successful (2 bytes read).\n\n");
    EXPECT_EQ(driver.purge_count(), 1);
    EXPECT_FALSE(driver.is_open());
    EXPECT_LE(elapsed_since(t0), 0.002 + 1e-9);   // a ready reply is taken at once
}

TEST_F(LinkTest, PedalInUpdateModeReportsModeBitClear)
{
    pedal.set_update_mode(true);
    ASSERT_TRUE(link.get_pedal_state());
    EXPECT_EQ(link.buffer()[1] & 0x80, 0);
}

TEST_F(LinkTest, ShortReplyTimesOutAfterOneSecondWithTheBytesThatCame)
{
    pedal.set_short_answer(true);
    const double t0 = clock.now();
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_EQ(console,
              "Device opened. \n"
              "Get Pedal State command successful (1 bytes written).\n"
              "Get Pedal State TIMEOUT. \n\n"
              "Number of bytes received : 1 \n\n");
    EXPECT_GT(elapsed_since(t0), 1.0);
    EXPECT_LT(elapsed_since(t0), 1.01);
    EXPECT_EQ(driver.purge_count(), 1);
    EXPECT_FALSE(driver.is_open());
}

TEST_F(LinkTest, ReplyWithinTheSecondIsTaken)
{
    pedal.set_reply_delay(0.95);
    EXPECT_TRUE(link.get_pedal_state());
}

TEST_F(LinkTest, LateReplyTimesOutAndDoesNotReachTheNextCommand)
{
    pedal.set_firmware_version({2, 4, 1});
    pedal.set_reply_delay(1.5);
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_NE(console.find("Get Pedal State TIMEOUT. \n\nNumber of bytes received : 0 \n\n"), std::string::npos);

    clock.advance(2.0);   // the late answer would have come by now
    pedal.set_reply_delay(0);
    pedal.set_memory(pedal.memory());
    pedal.set_firmware_version({2, 6, 9});
    console.clear();
    ASSERT_TRUE(link.get_pedal_state());
    EXPECT_EQ(link.buffer()[0], 0x26);
    EXPECT_EQ(link.buffer()[1], 0x89);
}

TEST_F(LinkTest, ReplyIsReadAtTheLookThatFindsItWholeAndNotAfterTheDeadline)
{
    // Each wait moves the clock 0.6 s. The whole reply is there at the
    // second look (0.6 s): it is read at once, with no further wait that
    // could carry the clock past the deadline.
    step = 0.6;
    pedal.set_reply_delay(0.5);
    EXPECT_TRUE(link.get_pedal_state());
    EXPECT_EQ(pumps, 1);

    // A reply that comes during the wait that crosses the deadline is late.
    console.clear();
    pumps = 0;
    pedal.set_reply_delay(0.7);
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_EQ(pumps, 2);
    EXPECT_NE(console.find("Get Pedal State TIMEOUT. \n\n"), std::string::npos);
}

TEST_F(LinkTest, WaitPollsAboutEveryMillisecond)
{
    pedal.set_reply_delay(0.1);
    ASSERT_TRUE(link.get_pedal_state());
    EXPECT_GE(pumps, 100);
    EXPECT_LE(pumps, 103);
}

// A driver that can wait on its port: each wait lets 0.3 ms pass.
class WaitingDriver : public InProcessDriver {
public:
    WaitingDriver(PedalPort& pedal, ManualClock& clock) : InProcessDriver(pedal, clock), clock_(clock) {}
    bool wait_receive(FtHandle, uint32_t bytes, double seconds) override
    {
        waits.push_back({bytes, seconds});
        clock_.advance(0.0003);
        return true;
    }
    std::vector<std::pair<uint32_t, double>> waits;

private:
    ManualClock& clock_;
};

TEST(LinkWaits, WithoutAToolkitTheReplyWaitIsTheDriversUpToTheDeadline)
{
    ManualClock clock;
    PedalModel pedal{clock};
    WaitingDriver driver{pedal, clock};
    UsbLink link{driver, clock};
    link.set_console([](const std::string&) {});
    pedal.set_reply_delay(0.001);
    const double t0 = clock.now();
    ASSERT_TRUE(link.get_pedal_state());
    // Woken when the reply is there: four waits of 0.3 ms cover the 1 ms
    // delay, and no tick is spent after it.
    ASSERT_EQ(driver.waits.size(), 4u);
    EXPECT_EQ(driver.waits[0].first, kPedalStateSize);
    EXPECT_NEAR(driver.waits[0].second, 1.0, 0.001);
    EXPECT_NEAR(driver.waits[3].second, 1.0 - 0.0009, 0.001);
    EXPECT_NEAR(clock.now() - t0, 0.0012, 1e-9);

    // A silent pedal: the waits run into the deadline and the link gives up.
    pedal.set_no_answer(true);
    driver.waits.clear();
    EXPECT_FALSE(link.get_pedal_state());
    ASSERT_FALSE(driver.waits.empty());
    EXPECT_LT(driver.waits.back().second, 0.001);
}

TEST_F(LinkTest, FailedRequestWritePurgesOnlyWhenSomethingWentOut)
{
    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_EQ(console, "Device opened. \nGet Pedal State command FAILED, error code : 4\n\n");
    EXPECT_EQ(driver.purge_count(), 0);
    EXPECT_FALSE(driver.is_open());

    driver.fail_next_write(FT_IO_ERROR, 1);
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_EQ(driver.purge_count(), 1);
}

TEST_F(LinkTest, FailedReadReportsStatusAndCount)
{
    driver.fail_next_read(FT_OK, 1);
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_NE(console.find("Get Pedal State FAILED, error code : 0 \n\nNumber of bytes read : 1 \n\n"),
              std::string::npos);
}

TEST_F(ScriptedLinkTest, PedalVanishingMidExchangeIsAnIoErrorWithoutWaitingOut)
{
    pedal.expect(1, [](const Bytes&) { return Bytes{}; });
    pedal.vanish_when_done = true;
    const double t0 = clock.now();
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_NE(console.find("Get Pedal State FAILED, error code : 4 \n\n"), std::string::npos);
    EXPECT_LT(clock.now() - t0, 0.01);
    EXPECT_EQ(link.ft_handle(), 0u);
}

// ---------------------------------------------------------------------------
// Globals

TEST_F(LinkTest, GetGlobalsReturnsTheRecordRotated)
{
    for (size_t i = 0; i < kGlobalsSize; ++i) pedal.memory().globals[i] = uint8_t(i);
    ASSERT_TRUE(link.get_globals());
    EXPECT_EQ(driver.writes()[0], Bytes{0xC1});
    Bytes expected;
    for (int i = 3; i < 34; ++i) expected.push_back(uint8_t(i));
    for (int i = 0; i < 3; ++i) expected.push_back(uint8_t(i));
    EXPECT_EQ(bytes_of(link.buffer(), 34), expected);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Send GET_GLOBALS command successful (1 bytes written).\n"
              "Get Global Conf successful (34 bytes read).\n\n");
    EXPECT_EQ(driver.purge_count(), 0);   // a good reply closes at once
}

TEST_F(LinkTest, GetGlobalsPurgesAfterAFailedRead)
{
    driver.fail_next_read(FT_IO_ERROR, 0);
    EXPECT_FALSE(link.get_globals());
    EXPECT_NE(console.find("Get Global Conf FAILED, error code : 4 \n\nNumber of bytes read : 0 \n\n"),
              std::string::npos);
    EXPECT_EQ(driver.purge_count(), 1);
}

TEST_F(LinkTest, GetGlobalsTimeout)
{
    pedal.set_no_answer(true);
    EXPECT_FALSE(link.get_globals());
    EXPECT_NE(console.find("Get Global Conf TIMEOUT. \n\nNumber of bytes received : 0 \n\n"), std::string::npos);
}

TEST_F(LinkTest, SetGlobalsPutsRecordBytesThreeOnwardFirst)
{
    uint8_t record[34];
    for (int i = 0; i < 34; ++i) record[i] = uint8_t(i);
    ASSERT_TRUE(link.set_globals_record(record));
    Bytes expected{0xC2};
    for (int i = 3; i < 34; ++i) expected.push_back(uint8_t(i));
    for (int i = 0; i < 3; ++i) expected.push_back(uint8_t(i));
    ASSERT_EQ(driver.writes().size(), 1u);
    EXPECT_EQ(driver.writes()[0], expected);
    EXPECT_EQ(console, "Device opened. \n'Send SET_GLOBALS command successful (35 bytes written).\n");
    for (int i = 0; i < 34; ++i) EXPECT_EQ(pedal.memory().globals[size_t(i)], record[i]) << i;
    EXPECT_EQ(driver.purge_count(), 0);
}

TEST_F(LinkTest, SetGlobalsShortWrite)
{
    uint8_t record[34] = {};
    driver.fail_next_write(FT_OK, 10);
    EXPECT_FALSE(link.set_globals_record(record));
    EXPECT_EQ(console,
              "Device opened. \n"
              "Send SET_GLOBALS command FAILED, error code : 0 \n"
              "Number of bytes get written : 10 \n\n");
    EXPECT_EQ(driver.purge_count(), 1);

    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_FALSE(link.set_globals_record(record));
    EXPECT_EQ(driver.purge_count(), 1);   // nothing went out: no purge
}

// ---------------------------------------------------------------------------
// Previews

TEST_F(LinkTest, ChangeCoreSendsC3AndTheParameterBlock)
{
    const PresetParameters params = parameters_with(9);
    EXPECT_EQ(link_code(link.change_core(params)), 0);
    Bytes expected{0xC3};
    for (size_t i = 0; i < kPresetParametersSize; ++i) expected.push_back(params.data()[i]);
    EXPECT_EQ(driver.writes()[0], expected);
    EXPECT_EQ(std::memcmp(pedal.playing().parameters.data(), params.data(), kPresetParametersSize), 0);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Change Core (Preview) successful (36 bytes written).\n"
              "Verification is not done.\n\n");
}

TEST_F(LinkTest, ChangeCoreFailuresGiveStatusOrShortCount)
{
    const PresetParameters params{};
    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_EQ(link_code(link.change_core(params)), FT_IO_ERROR);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Change Core (Preview) FAILED, error code : 4 \n"
              "Number of bytes written : 0 \n\n");
    EXPECT_EQ(driver.purge_count(), 1);

    driver.fail_next_write(FT_OK, 20);
    EXPECT_EQ(link_code(link.change_core(params)), 20);
    // Nothing accepted and no error is still no success.
    driver.fail_next_write(FT_OK, 0);
    EXPECT_EQ(link_code(link.change_core(params)), UsbLink::kTimeout);
}

TEST_F(LinkTest, WriteDataForDspYSendsC6ThenTheYBlock)
{
    driver.set_wire_rate(11520);
    const DspProgram y = program_with(3);
    EXPECT_EQ(link_code(link.write_data(y, 1)), 0);
    ASSERT_EQ(driver.writes().size(), 2u);
    EXPECT_EQ(driver.writes()[0], Bytes{0xC6});
    EXPECT_EQ(driver.writes()[1], bytes_of(y.bytes, 512));
    EXPECT_EQ(console,
              "Device opened. \n"
              "Sending messageId successful (1 bytes written).\n"
              "Write Data (Preview) successful (512 bytes written).\n"
              "Verification is not done.\n\n");

    EXPECT_EQ(std::memcmp(pedal.playing().program_y.bytes, y.bytes, 512), 0);
}

TEST_F(LinkTest, WriteDataForDspXSendsC5)
{
    const DspProgram x = program_with(1);
    EXPECT_EQ(link_code(link.write_data(x, 0)), 0);
    EXPECT_EQ(driver.writes()[0], Bytes{0xC5});
    EXPECT_EQ(std::memcmp(pedal.playing().program_x.bytes, x.bytes, 512), 0);
    EXPECT_EQ(link_code(link.write_data(x, 2)), FT_INVALID_PARAMETER);
}

TEST_F(LinkTest, WriteDataStalledIdentifierTimesOut)
{
    driver.set_transmit_stalled(true);
    const double t0 = clock.now();
    EXPECT_EQ(link_code(link.write_data(program_with(0), 0)), UsbLink::kTimeout);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Sending messageId successful (1 bytes written).\n"
              "Waiting for pedal to receive first packet data TIMEOUT. \n\n");
    EXPECT_EQ(driver.writes().size(), 1u);
    EXPECT_GT(clock.now() - t0, 1.0);
}

TEST_F(LinkTest, WriteDataIdentifierFailureGivesTimeoutCode)
{
    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_EQ(link_code(link.write_data(program_with(0), 0)), UsbLink::kTimeout);
    EXPECT_NE(console.find("Sending messageId FAILED, error code : 4 \nNumber of bytes get written : 0 \n\n"),
              std::string::npos);
}

// ---------------------------------------------------------------------------
// Read All

class ReadAllTest : public LinkTest {
protected:
    ReadAllTest()
    {
        for (int s = 0; s < kSlotCount; ++s) {
            PedalSlot* slot = pedal.slot(s);
            slot->parameters = parameters_with(uint8_t(s * 11));
            slot->title = make_title("Preset " + std::to_string(s));
            set_image_parameters(expected.data(), s, slot->parameters);
            set_image_title(expected.data(), s, slot->title);
        }
    }
    std::array<uint8_t, kPresetImageSize> expected{};
};

TEST_F(ReadAllTest, CopiesTheFourPartsToTheirOffsets)
{
    std::array<uint8_t, kPresetImageSize> image{};
    ASSERT_TRUE(link.read_all(image));
    EXPECT_EQ(driver.writes()[0], Bytes{0xC4});
    EXPECT_EQ(image, expected);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Write ReadAll command successful (1 bytes written).\n"
              "ReadAll (Params) successful (512 bytes read).\n\n"
              "ReadAll (Params) successful (512 bytes read).\n\n"
              "ReadAll (Params) successful (96 bytes read).\n\n"
              "ReadAll (Titles) successful (384 bytes read).\n\n");
    EXPECT_EQ(progress.values, (std::vector<double>{15, 30, 50, 70, 70, 90}));
    EXPECT_EQ(driver.purge_count(), 1);
}

TEST_F(ReadAllTest, WorksAtWireSpeed)
{
    driver.set_wire_rate(11520);
    std::array<uint8_t, kPresetImageSize> image{};
    const double t0 = clock.now();
    ASSERT_TRUE(link.read_all(image));
    EXPECT_EQ(image, expected);
    const double wire = 1505.0 / 11520.0;
    EXPECT_GT(clock.now() - t0, wire);
    EXPECT_LT(clock.now() - t0, wire + 0.01);
}

TEST_F(ReadAllTest, ShortPartIsReportedAndTheTransferGoesOn)
{
    std::array<uint8_t, kPresetImageSize> image{};
    driver.fail_next_read(FT_OK, 100);
    EXPECT_FALSE(link.read_all(image));
    EXPECT_NE(console.find("ReadAll (Params) FAILED, error code : 0 \n\nNumber of bytes read : 100 \n\n"),
              std::string::npos);
    EXPECT_NE(console.find("ReadAll (Titles)"), std::string::npos);
    EXPECT_EQ(progress.values.back(), 90);
}

TEST_F(ReadAllTest, TimeoutEndsTheTransfer)
{
    pedal.set_short_answer(true);   // 752 of 1504 bytes
    std::array<uint8_t, kPresetImageSize> image{};
    EXPECT_FALSE(link.read_all(image));
    EXPECT_NE(console.find("ReadAll (Params) successful (512 bytes read).\n\n"
                           "ReadAll (Params) TIMEOUT. \n\n"
                           "Number of bytes received : 240 \n\n"),
              std::string::npos);
    EXPECT_EQ(console.find("ReadAll (Titles)"), std::string::npos);
    EXPECT_EQ(progress.values, (std::vector<double>{15, 30, 50}));
    EXPECT_FALSE(driver.is_open());
}

TEST_F(ReadAllTest, RefusesADestinationTooSmall)
{
    std::vector<uint8_t> small(1000);
    EXPECT_FALSE(link.read_all(small));
    EXPECT_EQ(driver.open_count(), 0);
}

TEST_F(ReadAllTest, BackupWritesTheParametersAndLeavesTheTitles)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::array<uint8_t, kPresetImageSize> image{};
    ASSERT_TRUE(ops::read_all_to_file(link, file, image));
    EXPECT_EQ(bytes_of(image.data() + 1120, 384), Bytes(expected.begin() + 1120, expected.end()));
    std::fseek(file, 0, SEEK_END);
    EXPECT_EQ(std::ftell(file), 1120);
    std::rewind(file);
    Bytes written(1120);
    ASSERT_EQ(std::fread(written.data(), 1, 1120, file), 1120u);
    EXPECT_EQ(written, Bytes(expected.begin(), expected.begin() + 1120));
    std::fclose(file);
    EXPECT_EQ(progress.values, (std::vector<double>{15, 30, 50, 70, 70, 90}));
}

TEST_F(ReadAllTest, BackupWriteFailureIsReportedPerBatch)
{
    const std::string path = ::testing::TempDir() + "kv_link_readonly.bin";
    std::FILE* make = std::fopen(path.c_str(), "wb");
    ASSERT_NE(make, nullptr);
    std::fclose(make);
    std::FILE* file = std::fopen(path.c_str(), "rb");   // writes fail
    ASSERT_NE(file, nullptr);
    std::array<uint8_t, kPresetImageSize> image{};
    EXPECT_FALSE(ops::read_all_to_file(link, file, image));
    std::fclose(file);
    std::remove(path.c_str());
    EXPECT_NE(console.find("ReadAll (Params - Batch 1) has FAILED writing to backup file!\n"), std::string::npos);
    EXPECT_NE(console.find("ReadAll (Params - Batch 3) has FAILED writing to backup file!\n"), std::string::npos);
}

TEST_F(ReadAllTest, VerificationComparesEachBatch)
{
    EXPECT_TRUE(ops::read_all_matches(link, expected));
    EXPECT_EQ(console.find("has FAILED verification"), std::string::npos);

    std::array<uint8_t, kPresetImageSize> changed = expected;
    changed[600] ^= 1;   // batch 2
    console.clear();
    EXPECT_FALSE(ops::read_all_matches(link, changed));
    EXPECT_NE(console.find("ReadBack (Params - Batch 2) has FAILED verification!\n"), std::string::npos);
    EXPECT_EQ(console.find("Batch 1"), std::string::npos);
    EXPECT_EQ(console.find("Batch 3"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Presets

TEST_F(LinkTest, ReadPresetSlot31SendsOneByte1F)
{
    PedalSlot* slot = pedal.slot(31);
    slot->parameters = parameters_with(40);
    slot->title = make_title("Last Slot");
    ASSERT_TRUE(link.read_preset(31));
    EXPECT_EQ(driver.writes()[0], Bytes{0x1F});
    EXPECT_EQ(std::memcmp(link.buffer(), slot->parameters.data(), 35), 0);
    EXPECT_EQ(std::memcmp(link.buffer() + 35, slot->title.text, 12), 0);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Write preset address successful (1 bytes written).\n"
              "Read parameters & title successful (47 bytes read).\n\n");
    EXPECT_EQ(progress.values, (std::vector<double>{15, 45, 75}));
}

TEST_F(LinkTest, ReadPresetTimeoutAndBadSlot)
{
    pedal.set_no_answer(true);
    EXPECT_FALSE(link.read_preset(0));
    EXPECT_NE(console.find("Read parameters & title TIMEOUT. \n\nNumber of bytes received : 0 \n\n"),
              std::string::npos);
    EXPECT_EQ(progress.values, (std::vector<double>{15, 45}));

    driver.clear_log();
    EXPECT_FALSE(link.read_preset(32));
    EXPECT_FALSE(link.read_preset(-1));
    EXPECT_EQ(driver.open_count(), 0);
}

TEST_F(LinkTest, StorePresetSlot31WritesHeaderAndBothProgramsVerified)
{
    driver.set_wire_rate(11520);
    const PresetParameters params = parameters_with(70);
    const PresetTitle title = make_title("Stored");
    const DspProgram x = program_with(5);
    const DspProgram y = program_with(6);
    const double t0 = clock.now();
    EXPECT_EQ(link_code(link.store_preset(31, params, title, x, y)), 0);

    ASSERT_EQ(driver.writes().size(), 3u);
    Bytes header{0x5F};
    header.insert(header.end(), params.data(), params.data() + 35);
    header.insert(header.end(), title.text, title.text + 12);
    EXPECT_EQ(driver.writes()[0], header);
    EXPECT_EQ(driver.writes()[1], bytes_of(x.bytes, 512));
    EXPECT_EQ(driver.writes()[2], bytes_of(y.bytes, 512));
    const PedalSlot* slot = pedal.slot(31);
    EXPECT_EQ(std::memcmp(slot->parameters.data(), params.data(), 35), 0);
    EXPECT_EQ(std::memcmp(slot->program_x.bytes, x.bytes, 512), 0);
    EXPECT_EQ(std::memcmp(slot->program_y.bytes, y.bytes, 512), 0);

    EXPECT_EQ(console,
              "Device opened. \n"
              "Sending parameters & title data successful (48 bytes written).\n"
              "Write (Store) X-Data successful (512 bytes written).\n"
              "Write (Store) Y-Data successful (512 bytes written).\n");
    EXPECT_EQ(progress.values, (std::vector<double>{5, 25, 50, 75, 100}));
    EXPECT_EQ(progress.labels, (std::vector<std::string>{"w o r k i n g ..."}));
    // Wire time both ways plus the 5 ms pause, and little more.
    const double wire = (48 + 4 * 512) / 11520.0 + 0.005;
    EXPECT_GT(clock.now() - t0, wire);
    EXPECT_LT(clock.now() - t0, wire + 0.015);
}

TEST_F(LinkTest, StoreWithXEchoDifferingInItsLastByteStillSendsYAndReturns255)
{
    pedal.corrupt_next_echoes(1);
    const DspProgram x = program_with(5);
    const DspProgram y = program_with(6);
    EXPECT_EQ(link_code(link.store_preset(2, parameters_with(1), make_title("a"), x, y)), UsbLink::kMismatch);
    EXPECT_EQ(driver.writes().size(), 3u);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Sending parameters & title data successful (48 bytes written).\n"
              "Write (Store) X-Data successful (512 bytes written).\n"
              "Errors detected in DSP-X data transfer. \n\n"
              "Write (Store) Y-Data successful (512 bytes written).\n");
    EXPECT_EQ(progress.values.back(), 100);
}

TEST_F(ScriptedLinkTest, StoreWithOnlyYEchoDifferingReturns255Silently)
{
    pedal.expect_silent(48);
    pedal.expect_echo(512);
    pedal.expect(512, [](const Bytes& b) {
        Bytes out = b;
        out[0] ^= 0x01;
        return out;
    });
    EXPECT_EQ(link_code(link.store_preset(0, parameters_with(1), make_title("a"), program_with(1), program_with(2))),
              UsbLink::kMismatch);
    EXPECT_EQ(console.find("Errors detected"), std::string::npos);
}

TEST_F(ScriptedLinkTest, StoreEchoTimeoutWaitsTwoSeconds)
{
    pedal.expect_silent(48);
    pedal.expect_silent(512);
    const double t0 = clock.now();
    EXPECT_EQ(link_code(link.store_preset(0, parameters_with(1), make_title("a"), program_with(1), program_with(2))),
              UsbLink::kTimeout);
    const double took = clock.now() - t0;
    EXPECT_GT(took, 2.0);
    EXPECT_LT(took, 2.02);
    EXPECT_NE(console.find("Read X-Data back (verification) TIMEOUT. \n\nNumber of bytes received : 0 \n\n"),
              std::string::npos);
    EXPECT_EQ(driver.writes().size(), 2u);   // the Y block is not sent
    EXPECT_FALSE(driver.is_open());
}

TEST_F(ScriptedLinkTest, StoreEchoLateButWithinTwoSecondsIsTaken)
{
    pedal.expect_silent(48);
    pedal.expect_echo(512);
    pedal.expect_echo(512);
    pedal.delay = 1.5;
    EXPECT_EQ(link_code(link.store_preset(0, parameters_with(1), make_title("a"), program_with(1), program_with(2))), 0);
}

TEST_F(LinkTest, StoreHeaderNotLeavingTimesOut)
{
    driver.set_transmit_stalled(true);
    EXPECT_EQ(link_code(link.store_preset(4, parameters_with(1), make_title("a"), program_with(1), program_with(2))),
              UsbLink::kTimeout);
    EXPECT_NE(console.find("Waiting for pedal to receive transmitted parameters & title data TIMEOUT. \n\n"
                           "Number of transmitted bytes get read : 0 \n\n"),
              std::string::npos);
    EXPECT_EQ(driver.writes().size(), 1u);
}

TEST_F(LinkTest, StoreWriteFailuresGiveStatusOrCount)
{
    driver.fail_next_write(FT_OK, 30);
    EXPECT_EQ(link_code(link.store_preset(4, parameters_with(1), make_title("a"), program_with(1), program_with(2))), 30);
    EXPECT_NE(console.find("Sending parameters & title data FAILED, error code : 0 \n"
                           "Number of bytes get written : 30 \n\n"),
              std::string::npos);
    EXPECT_EQ(link_code(link.store_preset(32, parameters_with(1), make_title("a"), program_with(1), program_with(2))),
              FT_INVALID_PARAMETER);
}

TEST_F(ScriptedLinkTest, StorePedalVanishingAfterTheHeaderIsAnIoError)
{
    pedal.expect_silent(48);
    pedal.vanish_when_done = true;
    EXPECT_EQ(link_code(link.store_preset(0, parameters_with(1), make_title("a"), program_with(1), program_with(2))),
              FT_IO_ERROR);
    EXPECT_NE(console.find("Write (Store) X-Data FAILED, error code : 4 \n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Arp sequences

TEST_F(LinkTest, GetArpDataSendsIndexEngineSelectorAndReturnsTheSequence)
{
    ArpBytes seq{};
    for (size_t i = 0; i < seq.size(); ++i) seq[i] = uint8_t(0x30 + i);
    pedal.memory().set_arp(6, 2, seq);   // Arpeggiator, Sequence III
    EXPECT_EQ(link_code(link.get_arp_data(6, 4, 1), UsbLink::kArpTimeout), 0);
    EXPECT_EQ(driver.writes()[0], (Bytes{0xC7, 6, 1, 4}));
    EXPECT_EQ(bytes_of(link.buffer(), 32), Bytes(seq.begin(), seq.end()));
    EXPECT_EQ(console,
              "Device opened. \n"
              "Send GET_ARPDATA command successful (4 bytes written).\n"
              "Get Arp Data successful (32 bytes read).\n\n");
    EXPECT_EQ(driver.purge_count(), 0);
}

TEST_F(LinkTest, GetArpDataTimeoutIsOne)
{
    pedal.set_no_answer(true);
    EXPECT_EQ(link_code(link.get_arp_data(0, 0, 0), UsbLink::kArpTimeout), UsbLink::kArpTimeout);
    EXPECT_NE(console.find("Get Arp Data TIMEOUT. \n\n"), std::string::npos);
    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_EQ(link_code(link.get_arp_data(0, 0, 0), UsbLink::kArpTimeout), FT_IO_ERROR);
    EXPECT_NE(console.find("Send GET_ARPDATA command FAILED, error code : 4\n\n"), std::string::npos);
}

TEST_F(LinkTest, SetArpDataStoresTheSequence)
{
    uint8_t seq[32];
    for (int i = 0; i < 32; ++i) seq[i] = uint8_t(0xA0 + i);
    EXPECT_EQ(link_code(link.set_arp_data(3, 6, 0, 1, seq)), 0);
    Bytes expected{0xC8, 0, 1, 3, 6};
    expected.insert(expected.end(), seq, seq + 32);
    EXPECT_EQ(driver.writes()[0], expected);
    EXPECT_EQ(console, "Device opened. \nSend SET_ARPDATA successful (37 bytes written).\n");
    EXPECT_EQ(std::memcmp(pedal.memory().arp(3, 3).data(), seq, 32), 0);

    driver.fail_next_write(FT_OK, 5);
    console.clear();
    EXPECT_EQ(link_code(link.set_arp_data(3, 6, 0, 0, seq)), 5);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Send SET_ARPDATA command FAILED, error code : 0 \n"
              "Number of bytes get written : 5 \n\n");
}

// ---------------------------------------------------------------------------
// Library blocks

TEST_F(LinkTest, LibraryBlock5StartsWith85AndIsEchoed)
{
    uint8_t data[512];
    for (int i = 0; i < 512; ++i) data[i] = uint8_t(i * 3);
    ASSERT_TRUE(link.write_library_block(5, data));
    ASSERT_EQ(driver.writes().size(), 2u);
    EXPECT_EQ(driver.writes()[0], Bytes{0x85});
    EXPECT_EQ(driver.writes()[1], bytes_of(data, 512));
    EXPECT_EQ(std::memcmp(link.buffer(), data, 512), 0);
    EXPECT_EQ(std::memcmp(pedal.memory().library[5].data(), data, 512), 0);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Sending address successful (1 bytes written).\n"
              "Write Algo Library data successful (512 bytes written).\n"
              "Read Back successful (512 bytes read).\n");
    EXPECT_EQ(driver.purge_count(), 0);

    driver.clear_log();
    ASSERT_TRUE(link.write_library_block(63, data));
    EXPECT_EQ(driver.writes()[0], Bytes{0xBF});
    ASSERT_TRUE(link.write_library_block(37, data));
    EXPECT_EQ(driver.writes()[2], Bytes{0xA5});
}

TEST_F(LinkTest, LibraryBlockOutsideTheLibraryIsRefused)
{
    uint8_t data[512] = {};
    EXPECT_FALSE(link.write_library_block(64, data));
    EXPECT_FALSE(link.write_library_block(-1, data));
    EXPECT_EQ(driver.open_count(), 0);
}

TEST_F(LinkTest, LibraryBlockShortEchoIsAFailureEvenWithStatusOk)
{
    uint8_t data[512] = {1, 2, 3};
    driver.fail_next_read(FT_OK, 0);
    EXPECT_FALSE(link.write_library_block(1, data));
    EXPECT_NE(console.find("Read Back FAILED, error code : 0 \nNumber of bytes read : 0 \n\n"), std::string::npos);
}

TEST_F(ScriptedLinkTest, LibraryBlockEchoTimeout)
{
    pedal.expect_silent(1);
    pedal.expect(512, [](const Bytes& b) { return Bytes(b.begin(), b.begin() + 100); });
    uint8_t data[512] = {};
    const double t0 = clock.now();
    EXPECT_FALSE(link.write_library_block(0, data));
    EXPECT_GT(clock.now() - t0, 2.0);
    EXPECT_NE(console.find("Read Back (verification) TIMEOUT. \n\nNumber of bytes received : 100 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, LibraryBlockAddressStalled)
{
    driver.set_transmit_stalled(true);
    uint8_t data[512] = {};
    EXPECT_FALSE(link.write_library_block(0, data));
    EXPECT_NE(console.find("Waiting for pedal to receive transmitted address data TIMEOUT. \n\n"),
              std::string::npos);
}

// ---------------------------------------------------------------------------
// Update mode

TEST_F(LinkTest, FirmwarePageSendsAddressLittleEndianThenThePage)
{
    pedal.set_update_mode(true);
    driver.set_wire_rate(11520);
    uint8_t page[256];
    for (int i = 0; i < 256; ++i) page[i] = uint8_t(255 - i);
    EXPECT_EQ(link_code(link.write_firmware_page(0x0500, page)), 0);
    ASSERT_EQ(driver.writes().size(), 2u);
    EXPECT_EQ(driver.writes()[0], (Bytes{0xC7, 0x00, 0x05}));
    EXPECT_EQ(driver.writes()[1], bytes_of(page, 256));
    EXPECT_EQ(std::memcmp(link.buffer(), page, 256), 0);
    EXPECT_EQ(std::memcmp(pedal.memory().firmware.data() + 0x500, page, 256), 0);
    EXPECT_EQ(console,
              "Device opened. \n"
              "Sending command-ID and page address successful (3 bytes written).\n"
              "Sending page data successful (256 bytes written).\n"
              "Reading back page data successful (256 bytes read).\n\n");
    EXPECT_EQ(driver.purge_count(), 0);
}

TEST_F(LinkTest, FirmwarePageTimeoutsAreFailures)
{
    pedal.set_update_mode(true);
    uint8_t page[256] = {};
    pedal.set_no_answer(true);
    EXPECT_EQ(link_code(link.write_firmware_page(0, page)), UsbLink::kTimeout);
    EXPECT_NE(console.find("Reading back verification status TIMEOUT. \n\nNumber of bytes received : 0 \n\n"),
              std::string::npos);

    driver.set_transmit_stalled(true);
    console.clear();
    EXPECT_EQ(link_code(link.write_firmware_page(0, page)), UsbLink::kTimeout);
    EXPECT_NE(console.find("Waiting for pedal to receive command & page-address data TIMEOUT. \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, FirmwarePageShortEcho)
{
    pedal.set_update_mode(true);
    uint8_t page[256] = {};
    driver.fail_next_read(FT_OK, 200);
    EXPECT_EQ(link_code(link.write_firmware_page(0x100, page)), 200);
    EXPECT_NE(console.find("Reading back page data FAILED, error code : 0 \nNumber of bytes read : 200 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, SetVersionAndSendOneMessage)
{
    pedal.set_update_mode(true);
    EXPECT_TRUE(link.set_version(0x23, 0x05));
    EXPECT_EQ(driver.writes()[0], (Bytes{0xC8, 0x23, 0x05}));
    EXPECT_EQ(console, "Device opened. \nSet Version successful (3 bytes written).\n");
    EXPECT_EQ(pedal.firmware_version(), (FirmwareVersion{2, 3, 5}));

    pedal.set_update_mode(true);
    console.clear();
    EXPECT_TRUE(link.send_one_message());
    EXPECT_EQ(driver.writes()[1], Bytes{0xCF});
    EXPECT_EQ(console, "Device opened. \n'Send One Message' command successful (1 bytes written).\n");
    EXPECT_FALSE(pedal.update_mode());

    console.clear();
    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_FALSE(link.send_one_message());
    EXPECT_EQ(console,
              "Device opened. \n"
              "'Send One Message' command FAILED, error code : 4 \n"
              "Number of bytes get written : 0 \n\n");
    console.clear();
    driver.fail_next_write(FT_OK, 2);
    EXPECT_FALSE(link.set_version(1, 2));
    EXPECT_EQ(console,
              "Device opened. \n"
              "Set Version command FAILED, error code : 0 \n"
              "Number of bytes get written : 2 \n\n");
}

// ---------------------------------------------------------------------------
// A step that moved nothing and reported no error is still no success: the
// integer operations give the timeout code instead of 0.

TEST_F(LinkTest, StepsThatMovedNothingNeverReportSuccess)
{
    driver.fail_next_read(FT_OK, 0);
    EXPECT_EQ(link_code(link.get_arp_data(0, 0, 0), UsbLink::kArpTimeout), UsbLink::kTimeout);
    EXPECT_NE(console.find("Get Arp Data FAILED, error code : 0 \n\nNumber of bytes read : 0 \n\n"),
              std::string::npos);

    driver.fail_next_write(FT_OK, 0);
    EXPECT_EQ(link_code(link.set_arp_data(0, 0, 0, 0, program_with(0).bytes)), UsbLink::kTimeout);

    driver.fail_next_write(FT_OK, 0);
    EXPECT_EQ(link_code(link.store_preset(1, parameters_with(1), make_title("a"), program_with(1), program_with(2))),
              UsbLink::kTimeout);

    pedal.set_update_mode(true);
    uint8_t page[256] = {};
    driver.fail_next_read(FT_OK, 0);
    EXPECT_EQ(link_code(link.write_firmware_page(0x100, page)), UsbLink::kTimeout);
}

// ---------------------------------------------------------------------------
// One exchange at a time

TEST_F(LinkTest, OperationStartedFromTheEventPumpIsRefused)
{
    pedal.set_reply_delay(0.01);
    bool nested_bool = true;
    int nested_int = 0;
    bool tried = false;
    link.set_event_pump([&] {
        clock.advance(0.001);
        if (!tried) {
            tried = true;
            nested_bool = link.read_preset(3).has_value();
            nested_int = link_code(link.change_core(PresetParameters{}));
        }
    });
    EXPECT_TRUE(link.get_pedal_state());
    EXPECT_FALSE(nested_bool);
    EXPECT_EQ(nested_int, UsbLink::kBusy);
    ASSERT_EQ(driver.writes().size(), 1u);
    EXPECT_EQ(driver.writes()[0], Bytes{0xC0});
    EXPECT_NE(console.find("Pedal link busy: request refused.\n"), std::string::npos);
    EXPECT_FALSE(link.busy());
    EXPECT_TRUE(link.read_preset(3));   // free again afterwards
}

TEST_F(LinkTest, PauseRunsOnTheLinksClock)
{
    const double t0 = clock.now();
    link.pause(0.05, true);
    EXPECT_GT(clock.now() - t0, 0.05);
    EXPECT_LT(clock.now() - t0, 0.052);
    const int pumped = pumps;
    link.pause(1.0, false);
    EXPECT_EQ(pumps, pumped);   // no events during a plain pause
    EXPECT_GT(clock.now() - t0, 1.05);
}


// ---------------------------------------------------------------------------
// One open per operation: a hold keeps the port open from the first exchange
// to its end, with the console lines of separate exchanges.

TEST(LinkHold, AWholeOperationOpensThePortOnceAndSaysTheSame)
{
    struct Run {
        ManualClock clock;
        PedalModel pedal{clock};
        InProcessDriver driver{pedal, clock};
        UsbLink link{driver, clock};
        std::string console;
        std::vector<std::string> results;

        explicit Run(bool held)
        {
            link.set_console([this](const std::string& s) { console += s; });
            link.set_event_pump([this] { clock.advance(0.001); });
            std::optional<UsbLink::Hold> hold;
            if (held) hold.emplace(link);
            std::string serial;
            std::array<uint8_t, kPresetImageSize> image{};
            results.push_back(std::to_string(link.setup_device(serial)));
            results.push_back(std::to_string(link.get_pedal_state().has_value()));
            results.push_back(std::to_string(link.read_all(image)));
            results.push_back(std::to_string(link_code(link.change_core(parameters_with(3)))));   // no reply, no purge
            results.push_back(std::to_string(link.read_preset(4).has_value()));
            results.push_back(std::to_string(
                link_code(link.store_preset(4, parameters_with(5), make_title("held"), program_with(1), program_with(2)))));
            results.push_back(std::to_string(link_code(link.get_arp_data(1, 2, 0), UsbLink::kArpTimeout)));
            if (held) {
                EXPECT_TRUE(driver.is_open()) << "open until the hold ends";
                EXPECT_EQ(driver.close_count(), 0);
            }
        }
    };
    const Run apart(false);
    const Run held(true);
    EXPECT_EQ(held.console, apart.console);
    EXPECT_EQ(held.results, apart.results);
    EXPECT_EQ(held.driver.writes(), apart.driver.writes());
    EXPECT_EQ(held.pedal.memory(), apart.pedal.memory());
    EXPECT_EQ(apart.driver.open_count(), 7);
    EXPECT_EQ(held.driver.open_count(), 1);
    EXPECT_EQ(held.driver.close_count(), 1);
    EXPECT_FALSE(held.driver.is_open());
}

TEST_F(LinkTest, APortThatGoesAwayUnderAHoldIsToldAsVanished)
{
    const UsbLink::Hold hold = link.hold();
    ASSERT_TRUE(link.read_preset(2));
    EXPECT_EQ(link.last_result().status, LinkStatus::ok);
    EXPECT_EQ(link.last_result().bytes, kPresetRecordSize);
    pedal.vanish_now();
    console.clear();
    EXPECT_FALSE(link.get_pedal_state());
    // The kept port is found gone and the pedal looked for again.
    EXPECT_EQ(console, "Device FAILED to open, error code : 2 \n\n");
    EXPECT_EQ(link.last_result().status, LinkStatus::open_failed);
    EXPECT_EQ(link_code(link.last_result()), int(FT_DEVICE_NOT_FOUND));
}

// What each failure is, beside the protocol's integer.
TEST_F(LinkTest, ResultsSayWhatHappenedBesideTheCodes)
{
    struct Case {
        const char* name;
        std::function<void()> fault;
        std::function<int()> run;
        LinkStatus status;
        int code;
    };
    const std::vector<Case> cases = {
        {"timeout", [&] { pedal.set_reply_delay(5.0); },
         [&] { return link_code(link.get_arp_data(0, 0, 0), UsbLink::kArpTimeout); }, LinkStatus::timeout, UsbLink::kArpTimeout},
        {"short write", [&] { driver.fail_next_write(FT_OK, 18); },
         [&] { return link_code(link.set_arp_data(0, 0, 0, 0, program_with(0).bytes)); }, LinkStatus::write_failed, 18},
        {"driver error", [&] { driver.fail_next_write(FT_IO_ERROR, 0); },
         [&] { return link_code(link.change_core(parameters_with(1))); }, LinkStatus::vanished, int(FT_IO_ERROR)},
        {"short read", [&] { driver.fail_next_read(FT_OK, 5); },
         [&] { return int(link.read_preset(0).has_value()); }, LinkStatus::short_reply, 0},
        {"echo", [&] { pedal.corrupt_next_echoes(1); },
         [&] { return link_code(link.store_preset(0, parameters_with(1), make_title("a"), program_with(1), program_with(2))); },
         LinkStatus::echo_mismatch, UsbLink::kMismatch},
        {"refused", [] {}, [&] { return link_code(link.write_data(program_with(0), 7)); }, LinkStatus::refused,
         int(FT_INVALID_PARAMETER)},
    };
    for (const Case& c : cases) {
        pedal.set_reply_delay(0.0);
        c.fault();
        EXPECT_EQ(c.run(), c.code) << c.name;
        EXPECT_EQ(link.last_result().status, c.status)
            << c.name << ": " << link_status_name(link.last_result().status);
        pedal.set_reply_delay(0.0);
    }
    // A short count and a driver status are never the same number: 18 bytes
    // taken is write_failed with bytes 18, not the busy code's meaning.
    driver.fail_next_write(FT_OK, 18);
    link_code(link.set_arp_data(0, 0, 0, 0, program_with(0).bytes));
    EXPECT_EQ(link.last_result().bytes, 18u);
    EXPECT_EQ(link.last_result().driver, FT_OK);
}

} // namespace
} // namespace kv
