// The serial driver on real pseudo-terminals: the device list, exclusive
// opening, a port whose far end goes away, exchanges with a pedal served on
// the master side, and a whole exchange with the tessivar-sim program.

#include "link/SerialDriver.h"
#include "link/UsbLink.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "sim/PedalModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace kv {
namespace {

namespace fs = std::filesystem;

// Points KORVANE_DEVICES at a file of our own for the life of the object.
class DevicesFile {
public:
    explicit DevicesFile(const std::string& tag)
        : path_(fs::temp_directory_path() / ("kv_devices_" + tag + "_" + std::to_string(getpid()) + ".txt"))
    {
        saved_ = get_env("KORVANE_DEVICES");
        std::ofstream(path_).close();
        setenv("KORVANE_DEVICES", path_.c_str(), 1);
    }
    ~DevicesFile()
    {
        if (saved_) setenv("KORVANE_DEVICES", saved_->c_str(), 1);
        else unsetenv("KORVANE_DEVICES");
        std::error_code ec;
        fs::remove(path_, ec);
    }
    void add(const std::string& line)
    {
        std::ofstream out(path_, std::ios::app);
        out << line << "\n";
    }
    std::string path() const { return path_.string(); }
    std::string text() const
    {
        std::ifstream in(path_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    fs::path path_;
    std::optional<std::string> saved_;
};

// A pseudo-terminal whose slave side plays the pedal's port.
class Pty {
public:
    Pty()
    {
        char name[256] = {};
        if (openpty(&master, &slave_fd, name, nullptr, nullptr) == 0) {
            slave = name;
            ::close(slave_fd);   // the driver opens it by path
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() { close_master(); }
    void close_master()
    {
        if (master >= 0) ::close(master);
        master = -1;
    }
    bool ok() const { return master >= 0 && !slave.empty(); }

    // Answers whatever reached the master side through the model, waiting at
    // most a millisecond for it.
    void serve(PedalModel& model)
    {
        if (master < 0) return;
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 1) <= 0 || !(p.revents & POLLIN)) return;
        uint8_t buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) return;
        std::vector<uint8_t> reply;
        model.receive(buf, size_t(n), reply);
        size_t done = 0;
        while (done < reply.size()) {
            const ssize_t w = ::write(master, reply.data() + done, reply.size() - done);
            if (w > 0) done += size_t(w);
            else if (w < 0 && errno != EAGAIN && errno != EINTR) break;
        }
    }

    int master = -1;
    std::string slave;

private:
    int slave_fd = -1;
};

TEST(SerialDeviceList, DevicesFileComesFirstInItsOrder)
{
    DevicesFile file("list");
    file.add("/dev/pts/901\tSome Other Bridge\tOB1");
    file.add("/dev/pts/902\tBrakwell Tessivar\tTSV0001");
    file.add("");
    file.add("/dev/pts/903\tBrakwell Tessivar");
    const auto list = SerialDriver::enumerate();
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(list[0].path, "/dev/pts/901");
    EXPECT_EQ(list[0].info.description, "Some Other Bridge");
    EXPECT_EQ(list[0].info.serial_number, "OB1");
    EXPECT_EQ(list[1].info.description, "Brakwell Tessivar");
    EXPECT_EQ(list[1].info.serial_number, "TSV0001");
    EXPECT_EQ(list[2].path, "/dev/pts/903");
    EXPECT_EQ(list[2].info.serial_number, "");
    for (size_t i = 3; i < list.size(); ++i) EXPECT_EQ(list[i].path.rfind("/dev/ttyUSB", 0), 0u);

    SerialDriver driver;
    uint32_t count = 0;
    ASSERT_EQ(driver.create_device_info_list(&count), FT_OK);
    EXPECT_EQ(count, list.size());
    FtDeviceInfo info;
    FtHandle h = 7;
    ASSERT_EQ(driver.get_device_info_detail(1, &info, &h), FT_OK);
    EXPECT_EQ(info.serial_number, "TSV0001");
    EXPECT_EQ(h, 0u);
}

TEST(SerialDeviceList, MissingPortIsNotFound)
{
    DevicesFile file("missing");
    file.add("/nonexistent/ttyKV0\tBrakwell Tessivar\tX");
    SerialDriver driver;
    FtHandle h = 0;
    EXPECT_EQ(driver.open_by_description("Brakwell Tessivar", &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(driver.open_by_description("Nothing Like It", &h), FT_DEVICE_NOT_FOUND);
}

TEST(SerialPort, SecondOpenIsRefusedWhileTheFirstIsHeld)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    DevicesFile file("excl");
    file.add(pty.slave + "\tBrakwell Tessivar\tTSV0002");
    SerialDriver first;
    SerialDriver second;
    FtHandle a = 0;
    FtHandle b = 0;
    ASSERT_EQ(first.open_by_description("Brakwell Tessivar", &a), FT_OK);
    EXPECT_EQ(second.open_by_description("Brakwell Tessivar", &b), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(first.open_by_description("Brakwell Tessivar", &b), FT_DEVICE_NOT_OPENED);

    // The handle shows in the list of the driver that holds it.
    uint32_t count = 0;
    first.create_device_info_list(&count);
    FtDeviceInfo info;
    FtHandle listed = 0;
    ASSERT_EQ(first.get_device_info_detail(0, &info, &listed), FT_OK);
    EXPECT_EQ(listed, a);

    EXPECT_EQ(first.close(a), FT_OK);
    EXPECT_EQ(second.open_by_description("Brakwell Tessivar", &b), FT_OK);
    EXPECT_EQ(second.close(b), FT_OK);
    EXPECT_EQ(second.close(b), FT_INVALID_HANDLE);
}

// Another program holding the port is named by its process id, and the link
// says so once per operation.
TEST(SerialPort, AnotherProgramHoldingThePortIsNamed)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    DevicesFile file("holder");
    file.add(pty.slave + "\tBrakwell Tessivar\tTSV0003");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SerialDriver holder;
        FtHandle h = 0;
        const char said = holder.open_path(pty.slave, &h) == FT_OK ? 'y' : 'n';
        if (::write(ready[1], &said, 1) != 1) _exit(1);
        for (;;) pause();
    }
    char said = 0;
    ASSERT_EQ(::read(ready[0], &said, 1), 1);
    ASSERT_EQ(said, 'y');

    SerialDriver second;
    FtHandle b = 0;
    EXPECT_EQ(second.open_by_description("Brakwell Tessivar", &b), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(second.port_holder(), int(child));

    UsbLink link(second);
    std::string console;
    std::vector<std::string> notices;
    link.set_console([&](const std::string& text) { console += text; });
    link.set_in_use_notice([&](const LinkResult& r) { notices.push_back(in_use_text(r.holder_pid)); });
    {
        const UsbLink::Hold hold = link.hold();
        EXPECT_FALSE(link.get_pedal_state());
        EXPECT_FALSE(link.read_preset(1));
    }
    EXPECT_EQ(link.last_result().status, LinkStatus::in_use);
    EXPECT_EQ(link.last_result().holder_pid, int(child));
    ASSERT_EQ(notices.size(), 1u) << "once per operation";
    EXPECT_EQ(notices[0], "The pedal is in use by another program (pid " + std::to_string(child) + ").");
    EXPECT_EQ(console, "Device FAILED to open, error code : 3 \n\nDevice FAILED to open, error code : 3 \n\n");

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    // Free again once the other program has ended.
    EXPECT_EQ(second.open_by_description("Brakwell Tessivar", &b), FT_OK);
    EXPECT_EQ(second.port_holder(), 0);
    second.close(b);
}

TEST(SerialPort, RawBytesBothWaysWithQueueCounts)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialDriver driver;
    FtHandle h = 0;
    ASSERT_EQ(driver.open_path(pty.slave, &h), FT_OK);
    EXPECT_EQ(driver.set_baud_rate(h, 115200), FT_OK);
    EXPECT_EQ(driver.set_baud_rate(h, 12345), FT_INVALID_BAUD_RATE);

    // Every byte value crosses unchanged (no newline or control translation).
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = uint8_t(i);
    uint32_t n = 0;
    ASSERT_EQ(driver.write(h, all.data(), 256, &n), FT_OK);
    EXPECT_EQ(n, 256u);
    std::vector<uint8_t> got;
    for (int tries = 0; tries < 1000 && got.size() < 256; ++tries) {
        pollfd p{pty.master, POLLIN, 0};
        ::poll(&p, 1, 10);
        uint8_t buf[512];
        const ssize_t r = ::read(pty.master, buf, sizeof buf);
        if (r > 0) got.insert(got.end(), buf, buf + r);
    }
    EXPECT_EQ(got, all);

    ASSERT_EQ(::write(pty.master, all.data(), 256), 256);
    uint32_t rx = 0, tx = 0, ev = 0;
    for (int tries = 0; tries < 1000 && rx < 256; ++tries) {
        pollfd p{driver.fd_of(h), POLLIN, 0};
        ::poll(&p, 1, 10);
        ASSERT_EQ(driver.get_status(h, &rx, &tx, &ev), FT_OK);
    }
    EXPECT_EQ(rx, 256u);
    std::vector<uint8_t> in(300);
    ASSERT_EQ(driver.read(h, in.data(), 300, &n), FT_OK);   // never waits for more than is there
    EXPECT_EQ(n, 256u);
    in.resize(n);
    EXPECT_EQ(in, all);

    ASSERT_EQ(::write(pty.master, all.data(), 10), 10);
    pollfd p{driver.fd_of(h), POLLIN, 0};
    ::poll(&p, 1, 1000);
    EXPECT_EQ(driver.purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    ASSERT_EQ(driver.get_queue_status(h, &rx), FT_OK);
    EXPECT_EQ(rx, 0u);
    driver.close(h);
}

TEST(SerialPort, LineSettingsLeaveTheLineUpOnClose)
{
    // A fresh ttyUSB comes up with HUPCL on, which would drop DTR and RTS at
    // the close that ends every exchange.
    Pty pty;
    ASSERT_TRUE(pty.ok());
    {
        const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        t.c_cflag |= HUPCL;
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        ::close(fd);
    }
    SerialDriver driver;
    FtHandle h = 0;
    ASSERT_EQ(driver.open_path(pty.slave, &h), FT_OK);
    termios t{};
    ASSERT_EQ(tcgetattr(driver.fd_of(h), &t), 0);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    ASSERT_EQ(driver.set_baud_rate(h, 115200), FT_OK);
    ASSERT_EQ(tcgetattr(driver.fd_of(h), &t), 0);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    driver.close(h);

    // The close puts back what the line had (it was no pedal line: canonical
    // input), all but the hang-up, which would have fired at that close.
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    EXPECT_NE(t.c_lflag & ICANON, 0u);
}

TEST(SerialPort, BytesThatCameBetweenExchangesAreGoneAtTheNextOpen)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    // Held open throughout, as the simulated pedal holds its side.
    const int held = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(held, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(held, TCSANOW, &raw), 0);
    SerialDriver driver;
    FtHandle h = 0;
    ASSERT_EQ(driver.open_path(pty.slave, &h), FT_OK);
    uint32_t rx = 0;
    ASSERT_EQ(driver.get_queue_status(h, &rx), FT_OK);
    EXPECT_EQ(rx, 0u);
    driver.close(h);

    // A late answer lands while the port is closed.
    const uint8_t late[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(::write(pty.master, late, sizeof late), 5);
    int queued = 0;
    for (int tries = 0; tries < 1000 && queued < 5; ++tries) {
        pollfd p{held, POLLIN, 0};
        ::poll(&p, 1, 10);
        ::ioctl(held, FIONREAD, &queued);
    }
    ASSERT_EQ(queued, 5);
    ASSERT_EQ(driver.open_path(pty.slave, &h), FT_OK);
    ASSERT_EQ(driver.get_queue_status(h, &rx), FT_OK);
    EXPECT_EQ(rx, 0u);
    driver.close(h);
    ::close(held);
}

TEST(SerialPort, ReplyWaitWakesOnceTheWholeReplyIsThere)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialDriver driver;
    FtHandle h = 0;
    ASSERT_EQ(driver.open_path(pty.slave, &h), FT_OK);
    std::vector<uint8_t> sent(700);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = uint8_t(i * 7 + 3);
    uint32_t rx = 0;
    uint32_t n = 0;

    // Part of a 300-byte reply: the wait returns on the data, the bytes count
    // as queued, and the descriptor stays quiet until the rest has come.
    ASSERT_EQ(::write(pty.master, sent.data(), 200), 200);
    EXPECT_TRUE(driver.wait_receive(h, 200, 10.0));
    ASSERT_EQ(driver.get_queue_status(h, &rx), FT_OK);
    EXPECT_EQ(rx, 200u);
    bool ready = true;
    const int fd = driver.receive_descriptor(h, 300, &ready);
    EXPECT_FALSE(ready);
    ASSERT_GE(fd, 0);
    pollfd quiet{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&quiet, 1, 0), 0);
    ASSERT_EQ(::write(pty.master, sent.data() + 200, 100), 100);
    pollfd woken{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&woken, 1, 10000), 1);
    EXPECT_EQ(driver.receive_descriptor(h, 300, &ready), -1);
    EXPECT_TRUE(ready);
    std::vector<uint8_t> in(300);
    ASSERT_EQ(driver.read(h, in.data(), 300, &n), FT_OK);
    ASSERT_EQ(n, 300u);
    EXPECT_TRUE(std::equal(in.begin(), in.end(), sent.begin()));

    // A reply longer than the line's wake-up threshold (255) arrives whole
    // and in order.
    ASSERT_EQ(::write(pty.master, sent.data(), 700), 700);
    EXPECT_TRUE(driver.wait_receive(h, 700, 10.0));
    ASSERT_EQ(driver.get_queue_status(h, &rx), FT_OK);
    EXPECT_EQ(rx, 700u);
    in.assign(700, 0);
    ASSERT_EQ(driver.read(h, in.data(), 700, &n), FT_OK);
    EXPECT_EQ(n, 700u);
    EXPECT_EQ(in, sent);

    // Bytes taken ahead of a read go with a purge.
    ASSERT_EQ(::write(pty.master, sent.data(), 10), 10);
    EXPECT_TRUE(driver.wait_receive(h, 10, 10.0));
    EXPECT_EQ(driver.receive_descriptor(h, 20, &ready), fd);
    ASSERT_EQ(driver.purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    ASSERT_EQ(driver.get_queue_status(h, &rx), FT_OK);
    EXPECT_EQ(rx, 0u);
    driver.close(h);
}

TEST(SerialPort, PortWhoseFarEndVanishesGivesIoErrors)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialDriver driver;
    FtHandle h = 0;
    ASSERT_EQ(driver.open_path(pty.slave, &h), FT_OK);
    pty.close_master();
    uint32_t rx = 0, tx = 0, ev = 0, n = 0;
    EXPECT_EQ(driver.get_queue_status(h, &rx), FT_IO_ERROR);
    EXPECT_EQ(driver.get_status(h, &rx, &tx, &ev), FT_IO_ERROR);
    uint8_t buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(driver.read(h, buf, 4, &n), FT_IO_ERROR);
    EXPECT_EQ(driver.write(h, buf, 4, &n), FT_IO_ERROR);
    EXPECT_EQ(driver.close(h), FT_OK);
}

// The link over a pseudo-terminal with the pedal model answering on the
// master side from the event pump.
class LinkOverPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        file.add(pty.slave + "\tBrakwell Tessivar\tTSV0417A");
        link.set_console([this](const std::string& s) { console += s; });
        link.set_event_pump([this] { pty.serve(pedal); });
    }
    Pty pty;
    DevicesFile file{"link"};
    PedalModel pedal;
    SerialDriver driver;
    UsbLink link{driver};
    std::string console;
};

TEST_F(LinkOverPty, SetupStateAndPreset)
{
    std::string serial;
    ASSERT_TRUE(link.setup_device(serial));
    EXPECT_EQ(serial, "TSV0417A");
    EXPECT_NE(console.find("USB Parameters, Timeouts, and Baud-rate setups successful. \n"), std::string::npos);

    pedal.set_firmware_version({2, 5, 7});
    ASSERT_TRUE(link.get_pedal_state()) << console;
    EXPECT_EQ(link.buffer()[0], 0x25);
    EXPECT_EQ(link.buffer()[1], 0x87);

    pedal.slot(9)->title = make_title("Over The Pty");
    ASSERT_TRUE(link.read_preset(9)) << console;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(link.buffer()) + 35, 12), "Over The Pty");

    const DspProgram x = [] {
        DspProgram p{};
        for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(i ^ 0xA5);
        return p;
    }();
    EXPECT_EQ(link_code(link.store_preset(9, pedal.slot(9)->parameters, make_title("Stored"), x, x)), 0) << console;
    EXPECT_EQ(std::memcmp(pedal.slot(9)->program_x.bytes, x.bytes, kDspProgramSize), 0);
}

TEST_F(LinkOverPty, PedalDisappearingMidExchangeIsAnIoError)
{
    link.set_event_pump([this] { pty.close_master(); });
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_NE(console.find("Get Pedal State FAILED, error code : 4 \n\n"), std::string::npos) << console;
    EXPECT_EQ(link.ft_handle(), 0u);
}

// ---------------------------------------------------------------------------
// The simulated pedal program

class SimProcess {
public:
    SimProcess(const std::string& exe, const std::vector<std::string>& args)
    {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~SimProcess() { stop(); }
    bool running() const { return pid_ > 0; }
    // SIGTERM, then the exit status (or -1).
    int stop()
    {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        int st = 0;
        ::waitpid(pid_, &st, 0);
        pid_ = -1;
        return st;
    }

private:
    pid_t pid_ = -1;
};

TEST(TessivarSim, RealExchangeThroughThePseudoTerminal)
{
    const std::string exe = std::string(KV_BINARY_DIR) + "/tessivar-sim";
    if (access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "tessivar-sim has not been built at " << exe;

    DevicesFile file("sim");
    SimProcess sim(exe, {"--devices", file.path(), "--serial", "TSV9999Z", "--firmware", "2.5.4"});
    ASSERT_TRUE(sim.running());
    // The simulator lists its port once it serves it.
    for (int i = 0; i < 500 && file.text().find("Brakwell Tessivar") == std::string::npos; ++i) usleep(10000);
    ASSERT_NE(file.text().find("Brakwell Tessivar"), std::string::npos) << "the simulator did not list its port";

    SerialDriver driver;
    UsbLink link(driver);
    std::string console;
    link.set_console([&](const std::string& s) { console += s; });
    std::string serial;
    ASSERT_TRUE(link.setup_device(serial)) << console;
    EXPECT_EQ(serial, "TSV9999Z");
    ASSERT_TRUE(link.get_pedal_state()) << console;
    EXPECT_EQ(link.buffer()[0], 0x25);
    EXPECT_EQ(link.buffer()[1], 0x84);
    ASSERT_TRUE(link.read_preset(0)) << console;
    EXPECT_NE(console.find("Read parameters & title successful (47 bytes read).\n\n"), std::string::npos);

    const int st = sim.stop();
    EXPECT_TRUE(WIFEXITED(st) || WIFSIGNALED(st));
}

} // namespace
} // namespace kv
