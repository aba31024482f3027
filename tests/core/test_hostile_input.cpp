// Input a user's machine can hand the programs: special files where data
// files belong, devices lines that are stale, over-long or malformed, and a
// pty number that now belongs to an unrelated terminal. Nothing may block,
// grow without bound, or change a terminal that is not the pedal's.
//
// Calls that used to block on a FIFO or read /dev/zero without end run under
// a watchdog (alarm): a hang ends the test program instead of the CI run.

#include "link/DeviceList.h"
#include "link/SerialDriver.h"
#include "link/UsbLink.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "preset/AlgorithmLibrary.h"
#include "arp/FactoryArpTable.h"
#include "sim/FactoryData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kWatchdogSeconds = 60;

struct Watchdog {
    Watchdog() { alarm(kWatchdogSeconds); }
    ~Watchdog() { alarm(0); }
};

struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& tag)
        : path(fs::temp_directory_path() / ("kv_hostile_" + tag + "_" + std::to_string(getpid())))
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Points KORVANE_DEVICES at a file for the life of the object.
struct DevicesEnv {
    std::optional<std::string> saved = get_env("KORVANE_DEVICES");
    explicit DevicesEnv(const std::string& path) { setenv("KORVANE_DEVICES", path.c_str(), 1); }
    ~DevicesEnv()
    {
        if (saved) setenv("KORVANE_DEVICES", saved->c_str(), 1);
        else unsetenv("KORVANE_DEVICES");
    }
};

// A process id that has certainly ended: a child that has been reaped.
long ended_pid()
{
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return long(child);
}

size_t listed_from_file_count()
{
    size_t n = 0;
    for (const auto& d : SerialDriver::enumerate())
        if (d.path.rfind("/dev/ttyUSB", 0) != 0) ++n;
    return n;
}

TEST(SafeFile, ReadsRegularFilesUpToTheLimitAndRefusesEverythingElse)
{
    Watchdog dog;
    TempDir dir("safe");
    write_file(dir / "data", "0123456789");
    const FileRead ok = read_file_limited(dir / "data", 10);
    ASSERT_TRUE(ok) << file_error_text(ok.error);
    EXPECT_EQ(ok.text(), "0123456789");
    EXPECT_EQ(read_file_limited(dir / "data", 9).error, FileError::TooLarge);
    write_file(dir / "empty", "");
    EXPECT_TRUE(read_file_limited(dir / "empty", 0));

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero");
    EXPECT_EQ(read_file_limited(dir / "fifo", 1u << 20).error, FileError::NotRegular);   // no writer: no wait
    EXPECT_EQ(read_file_limited("/dev/zero", 1u << 20).error, FileError::NotRegular);
    EXPECT_EQ(read_file_limited(dir / "zero", 1u << 20).error, FileError::NotRegular);
    EXPECT_EQ(read_file_limited(dir.path.string(), 1u << 20).error, FileError::NotRegular);
    EXPECT_EQ(read_file_limited(dir / "missing", 1u << 20).error, FileError::NotFound);
    EXPECT_EQ(check_regular_file(dir / "fifo", 100), FileError::NotRegular);
    EXPECT_EQ(check_regular_file(dir / "data", 100), FileError::NoError);
    EXPECT_EQ(read_failure_message("/x", FileError::NotRegular), "cannot read /x: not a regular file");

    // A FIFO with a writer attached is refused just the same, without reading.
    const int writer_end = ::open((dir / "fifo").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer_end, 0);
    EXPECT_EQ(read_file_limited(dir / "fifo", 1u << 20).error, FileError::NotRegular);
    ::close(writer_end);
}

TEST(SafeFile, DataLoadersFallBackWhenTheirFilesAreSpecial)
{
    Watchdog dog;
    TempDir dir("loaders");
    ASSERT_EQ(mkfifo((dir / kFactoryPresetsFile).c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / kAlgorithmLibraryFile).c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir.path / kArpTableFile);
    fs::create_symlink("/dev/zero", dir.path / kDisplayDataFile);

    FactorySources used;
    const PedalMemory m = factory_memory(dir.path.string(), &used);
    EXPECT_FALSE(used.presets || used.library || used.arp || used.display);
    EXPECT_EQ(used.problems.size(), 4u);
    EXPECT_EQ(m.slots, builtin_factory_memory().slots);

    AlgorithmLibrary library;
    EXPECT_FALSE(library.load(dir / kAlgorithmLibraryFile));
    FactoryArpTable arp;
    EXPECT_FALSE(arp.load(dir.path.string()));
    EXPECT_FALSE(arp.loaded());
}

TEST(DevicesLines, FieldsAreHeldToWhatARealBridgeReports)
{
    const std::string desc63(63, 'd'), serial15(15, 's');
    auto line = [](const std::string& path, const std::string& d, const std::string& s) { return path + "\t" + d + "\t" + s; };
    EXPECT_TRUE(parse_device_line(line("/dev/pts/1", desc63, serial15)));
    EXPECT_FALSE(parse_device_line(line("/dev/pts/1", desc63 + "d", serial15)));
    EXPECT_FALSE(parse_device_line(line("/dev/pts/1", "Brakwell Tessivar", serial15 + "s")));
    EXPECT_FALSE(parse_device_line(line("/dev/pts/1", "Brakwell Tessivar", std::string(400000, 'S'))));
    EXPECT_FALSE(parse_device_line(line("/dev/pts/1", "Brakwell Tessivar", "TSV\x1b[2J")));   // no control characters
    EXPECT_FALSE(parse_device_line(line("pts/1", "Brakwell Tessivar", "TSV1")));              // paths are absolute
    EXPECT_FALSE(parse_device_line(line("/dev/pts/1", "Brakwell Tessivar", "TSV1") + "\tnot-a-pid"));
    EXPECT_FALSE(parse_device_line("/dev/pts/1"));
    const auto with_pid = parse_device_line(line("/dev/pts/1", "Brakwell Tessivar", "TSV1") + "\t4242");
    ASSERT_TRUE(with_pid);
    EXPECT_EQ(with_pid->pid, 4242);
    EXPECT_EQ(with_pid->serial_number, "TSV1");

    // In the file: the over-long and the stale line are skipped, the rest kept in order.
    TempDir dir("lines");
    const std::string file = dir / "devices";
    write_file(file, line("/dev/pts/901", "Brakwell Tessivar", std::string(400000, 'S')) + "\n" +
                         line("/dev/pts/902", "Brakwell Tessivar", "STALE") + "\t" + std::to_string(ended_pid()) + "\n" +
                         line("/dev/pts/903", "Brakwell Tessivar", "LIVE") + "\t" + std::to_string(getpid()) + "\n" +
                         line("/dev/pts/904", "Other Bridge", "HAND") + "\n");
    DevicesEnv env(file);
    const auto listed = SerialDriver::enumerate();
    ASSERT_GE(listed.size(), 2u);
    EXPECT_EQ(listed[0].info.serial_number, "LIVE");
    EXPECT_EQ(listed[1].info.serial_number, "HAND");
    EXPECT_EQ(listed_from_file_count(), 2u);
}

TEST(DevicesLines, ASpecialDevicesFileListsNothingAndDoesNotWait)
{
    Watchdog dog;
    TempDir dir("devspecial");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const std::string& path : {std::string("/dev/zero"), dir / "fifo", dir.path.string()}) {
        DevicesEnv env(path);
        EXPECT_EQ(listed_from_file_count(), 0u) << path;
        SerialDriver driver;
        UsbLink link(driver);
        link.set_console([](const std::string&) {});
        std::string serial = "unchanged";
        EXPECT_FALSE(link.setup_device(serial)) << path;
        EXPECT_EQ(serial, "unchanged");
    }
}

// A pseudo-terminal standing in for someone's shell: its slave side keeps
// the settings a login shell would give it.
struct ForeignTerminal {
    int master = -1;
    int slave = -1;
    std::string path;
    termios before{};

    ForeignTerminal()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        path = name;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        termios t{};
        tcgetattr(slave, &t);
        t.c_lflag |= ICANON | ECHO | ISIG;
        t.c_oflag |= OPOST | ONLCR;
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(slave, TCSANOW, &t);
        tcgetattr(slave, &before);
    }
    ~ForeignTerminal()
    {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    bool unchanged() const
    {
        termios now{};
        if (tcgetattr(slave, &now) != 0) return false;
        return now.c_iflag == before.c_iflag && now.c_oflag == before.c_oflag && now.c_cflag == before.c_cflag &&
               now.c_lflag == before.c_lflag && cfgetispeed(&now) == cfgetispeed(&before) &&
               cfgetospeed(&now) == cfgetospeed(&before) && std::memcmp(now.c_cc, before.c_cc, sizeof now.c_cc) == 0;
    }
    // Bytes that reached the terminal's far side.
    std::string received() const
    {
        std::string got;
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, size_t(n));
        }
        return got;
    }
};

TEST(StaleDevicesLine, APtyNumberReusedByAnotherTerminalIsNeitherOpenedNorChanged)
{
    ForeignTerminal shell;
    ASSERT_FALSE(shell.path.empty());
    TempDir dir("stale");
    const std::string file = dir / "devices";
    // What a simulator killed by SIGKILL leaves behind, naming this pty.
    write_file(file, shell.path + "\tBrakwell Tessivar\tTSV0417A\t" + std::to_string(ended_pid()) + "\n");
    DevicesEnv env(file);

    SerialDriver driver;
    UsbLink link(driver);
    std::string console;
    link.set_console([&](const std::string& s) { console += s; });
    std::string serial;
    EXPECT_FALSE(link.setup_device(serial));
    EXPECT_FALSE(link.get_pedal_state());
    EXPECT_EQ(serial, "");
    EXPECT_TRUE(shell.unchanged());
    EXPECT_EQ(shell.received(), "");
}

TEST(StaleDevicesLine, ClosingAPortPutsBackTheSettingsItHad)
{
    ForeignTerminal port;
    ASSERT_FALSE(port.path.empty());
    SerialDriver driver;
    FtHandle h = 0;
    ASSERT_EQ(driver.open_path(port.path, &h), FT_OK);
    ASSERT_EQ(driver.set_baud_rate(h, 115200), FT_OK);
    EXPECT_FALSE(port.unchanged());   // raw at 115200 while it is ours
    ASSERT_EQ(driver.close(h), FT_OK);
    EXPECT_TRUE(port.unchanged());
}

TEST(SerialOfTheOpenedDevice, AnUnreachableLineListedFirstDoesNotLendItsSerial)
{
    ForeignTerminal pedal;   // plays the live simulator's pty; nobody answers
    ASSERT_FALSE(pedal.path.empty());
    TempDir dir("serial");
    const std::string file = dir / "devices";
    write_file(file, "/nonexistent/ttyKV9\tBrakwell Tessivar\tSTALE01\n" + pedal.path +
                         "\tBrakwell Tessivar\tLIVE02\t" + std::to_string(getpid()) + "\n");
    DevicesEnv env(file);
    SerialDriver driver;
    UsbLink link(driver);
    link.set_console([](const std::string&) {});
    std::string serial;
    ASSERT_TRUE(link.setup_device(serial));
    EXPECT_EQ(serial, "LIVE02");
    EXPECT_TRUE(pedal.unchanged());   // set up, then closed: its own settings are back
}

}  // namespace
}  // namespace kv
