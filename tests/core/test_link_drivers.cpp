// The deadline timer and the in-process bridge's queue model.

#include "link/InProcessDriver.h"
#include "link/Stopwatch.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

TEST(Stopwatch, LimitsAreSecondsAndStrictlyExceeded)
{
    ManualClock clock;
    Stopwatch sw(clock);
    sw.restart();
    EXPECT_FALSE(sw.exceeded(1.0));
    clock.advance(1.0);
    EXPECT_FALSE(sw.exceeded(1.0));   // exactly one second is not past it
    clock.advance(1e-6);
    EXPECT_TRUE(sw.exceeded(1.0));

    sw.restart();
    EXPECT_EQ(sw.now, 0.0);
    clock.advance(0.004);
    EXPECT_FALSE(sw.exceeded(0.005));
    clock.advance(0.002);
    EXPECT_TRUE(sw.exceeded(0.005));   // a 5 ms pause, not up to a second
    EXPECT_NEAR(sw.elapsed(), 0.006, 1e-9);
    EXPECT_FALSE(sw.exceeded(0.05));
}

TEST(Stopwatch, SystemClockResolvesFarBelowAMillisecond)
{
    Clock& clock = system_clock();
    const double a = clock.now();
    double b = a;
    for (int i = 0; i < 1000000 && b == a; ++i) b = clock.now();
    EXPECT_GT(b, a);
    EXPECT_LT(b - a, 0.0001);
}

// Echoes every byte after a delay; can be made to vanish.
class EchoPort : public PedalPort {
public:
    void receive(const uint8_t* data, size_t len, std::vector<uint8_t>& reply) override
    {
        received.insert(received.end(), data, data + len);
        reply.insert(reply.end(), data, data + len);
    }
    double reply_delay() const override { return delay; }
    bool vanished() const override { return gone; }
    void host_purged() override { ++purges; }
    std::vector<uint8_t> received;
    double delay = 0.0;
    bool gone = false;
    int purges = 0;
};

class InProcessTest : public ::testing::Test {
protected:
    ManualClock clock;
    EchoPort port;
    InProcessDriver driver{port, clock, 11520};
    FtHandle h = 0;
    uint32_t rx = 0, tx = 0, ev = 0, n = 0;
};

TEST_F(InProcessTest, WrittenBytesDrainAtTheWireRate)
{
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    std::vector<uint8_t> block(512, 0x5A);
    ASSERT_EQ(driver.write(h, block.data(), 512, &n), FT_OK);
    EXPECT_EQ(n, 512u);
    ASSERT_EQ(driver.get_status(h, &rx, &tx, &ev), FT_OK);
    EXPECT_EQ(tx, 512u);
    clock.advance(256 / 11520.0 + 1e-9);
    driver.get_status(h, &rx, &tx, &ev);
    EXPECT_EQ(tx, 256u);
    EXPECT_EQ(port.received.size(), 256u);
    clock.advance(1.0);
    driver.get_status(h, &rx, &tx, &ev);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(rx, 512u);   // the echo followed, byte by byte
}

TEST_F(InProcessTest, RepliesArriveAfterTheDelayAndAtTheWireRate)
{
    port.delay = 0.25;
    driver.set_wire_rate(0);
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    const uint8_t req[4] = {1, 2, 3, 4};
    driver.write(h, req, 4, &n);
    driver.get_queue_status(h, &rx);
    EXPECT_EQ(rx, 0u);
    clock.advance(0.25);
    driver.get_queue_status(h, &rx);
    EXPECT_EQ(rx, 4u);
    uint8_t out[8] = {};
    EXPECT_EQ(driver.read(h, out, 8, &n), FT_OK);   // never more than is queued
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(out[3], 4);
}

TEST_F(InProcessTest, PurgeEmptiesBothQueuesAndTellsThePedal)
{
    driver.set_wire_rate(0);
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    const uint8_t req[2] = {9, 9};
    driver.write(h, req, 2, &n);
    driver.get_queue_status(h, &rx);
    ASSERT_EQ(rx, 2u);
    EXPECT_EQ(driver.purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    driver.get_queue_status(h, &rx);
    EXPECT_EQ(rx, 0u);
    EXPECT_EQ(port.purges, 1);
}

TEST_F(InProcessTest, CloseSendsTheQueueAndDropsAnswersOnTheirWay)
{
    port.delay = 0.5;
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    std::vector<uint8_t> block(100, 1);
    driver.write(h, block.data(), 100, &n);
    EXPECT_EQ(driver.close(h), FT_OK);
    EXPECT_EQ(port.received.size(), 100u);
    clock.advance(1.0);
    FtHandle h2 = 0;
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h2), FT_OK);
    driver.get_queue_status(h2, &rx);
    EXPECT_EQ(rx, 0u);
    EXPECT_EQ(driver.get_queue_status(h, &rx), FT_INVALID_HANDLE);   // the old handle is dead
}

TEST_F(InProcessTest, OneOwnerAtATimeAndUnknownDescriptions)
{
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    FtHandle h2 = 0;
    EXPECT_EQ(driver.open_by_description("Brakwell Tessivar", &h2), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(driver.open_by_description("brakwell tessivar", &h2), FT_DEVICE_NOT_FOUND);
}

TEST_F(InProcessTest, VanishedPedalIsAnIoErrorAndCannotBeOpened)
{
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    port.gone = true;
    const uint8_t b = 0;
    EXPECT_EQ(driver.write(h, &b, 1, &n), FT_IO_ERROR);
    EXPECT_EQ(driver.read(h, nullptr, 0, &n), FT_IO_ERROR);
    EXPECT_EQ(driver.get_queue_status(h, &rx), FT_IO_ERROR);
    EXPECT_EQ(driver.get_status(h, &rx, &tx, &ev), FT_IO_ERROR);
    EXPECT_EQ(driver.close(h), FT_OK);
    EXPECT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_DEVICE_NOT_FOUND);
}

TEST_F(InProcessTest, NothingToWriteFromOrReadIntoIsRefusedNotCounted)
{
    driver.set_wire_rate(0);
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    n = 99;
    EXPECT_EQ(driver.write(h, nullptr, 4, &n), FT_INVALID_PARAMETER);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(driver.writes().empty());
    const uint8_t req[2] = {5, 6};
    ASSERT_EQ(driver.write(h, req, 2, &n), FT_OK);
    driver.get_queue_status(h, &rx);
    ASSERT_EQ(rx, 2u);
    EXPECT_EQ(driver.read(h, nullptr, 2, &n), FT_INVALID_PARAMETER);
    EXPECT_EQ(n, 0u);
    driver.get_queue_status(h, &rx);
    EXPECT_EQ(rx, 2u);   // the answer is still there for a proper read
}

TEST(InProcessList, ListsDevicesInOrderAndReportsTheOpenHandle)
{
    ManualClock clock;
    EchoPort a, b;
    InProcessDriver driver(clock);
    driver.attach("Other Bridge", "X1", &a);
    driver.attach("Brakwell Tessivar", "P2", &b);
    FtHandle h = 0;
    ASSERT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_OK);
    uint32_t count = 0;
    ASSERT_EQ(driver.create_device_info_list(&count), FT_OK);
    ASSERT_EQ(count, 2u);
    FtDeviceInfo info;
    FtHandle listed = 99;
    ASSERT_EQ(driver.get_device_info_detail(0, &info, &listed), FT_OK);
    EXPECT_EQ(info.description, "Other Bridge");
    EXPECT_EQ(listed, 0u);
    ASSERT_EQ(driver.get_device_info_detail(1, &info, &listed), FT_OK);
    EXPECT_EQ(info.serial_number, "P2");
    EXPECT_EQ(listed, h);
    EXPECT_NE(driver.get_device_info_detail(2, &info, &listed), FT_OK);
}

} // namespace
} // namespace kv
