#include "sim/DevicesFile.h"
#include "sim/SimOptions.h"
#include "sim/WireQueue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <cerrno>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string read_text(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_text(const std::filesystem::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        path = std::filesystem::temp_directory_path() / ("kv_sim_tools_" + std::to_string(getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
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

TEST(SimDevicesFile, AddsItsLineAndTakesOutExactlyThatLine)
{
    TempDir dir;
    const auto file = dir.path / "devices";
    const std::string ours = kv::device_line("/dev/pts/7", "TSV0417A", long(getpid()));
    EXPECT_EQ(ours, "/dev/pts/7\tBrakwell Tessivar\tTSV0417A\t" + std::to_string(getpid()));

    // Created when missing.
    ASSERT_TRUE(kv::add_device_line(file.string(), ours));
    EXPECT_EQ(read_text(file), ours + "\n");

    // Other programs' lines, one of them a prefix of ours and one without a
    // final newline, stay as they were.
    write_text(file, "/dev/pts/7\tBrakwell Tessivar\tTSV0417\n" + ours + "\n/dev/ttyUSB0\tOther\tX\n" + ours +
                         "\n/dev/pts/9\tBrakwell Tessivar\tB");
    ASSERT_TRUE(kv::remove_device_line(file.string(), ours));
    EXPECT_EQ(read_text(file), "/dev/pts/7\tBrakwell Tessivar\tTSV0417\n/dev/ttyUSB0\tOther\tX\n" + ours +
                                   "\n/dev/pts/9\tBrakwell Tessivar\tB");
    ASSERT_TRUE(kv::remove_device_line(file.string(), ours));
    EXPECT_FALSE(kv::remove_device_line(file.string(), ours));
    EXPECT_EQ(read_text(file), "/dev/pts/7\tBrakwell Tessivar\tTSV0417\n/dev/ttyUSB0\tOther\tX\n/dev/pts/9\tBrakwell Tessivar\tB");

    EXPECT_FALSE(kv::remove_device_line((dir.path / "missing").string(), ours));
    EXPECT_FALSE(kv::add_device_line((dir.path / "no" / "such" / "dir").string(), ours));
}

TEST(SimDevicesFile, LinesOfEndedProcessesAreTidiedAway)
{
    TempDir dir;
    const auto file = dir.path / "devices";
    const std::string stale = kv::device_line("/dev/pts/3", "TSVSTALE", ended_pid());
    const std::string live = kv::device_line("/dev/pts/4", "TSVLIVE", long(getppid()));
    const std::string hand = "/dev/ttyUSB0\tBrakwell Tessivar\tHAND";   // names no process: kept
    write_text(file, stale + "\n" + live + "\n" + hand + "\n");

    const std::string ours = kv::device_line("/dev/pts/5", "TSVOURS", long(getpid()));
    ASSERT_TRUE(kv::add_device_line(file.string(), ours));
    EXPECT_EQ(read_text(file), live + "\n" + hand + "\n" + ours + "\n");

    write_text(file, ours + "\n" + stale + "\n" + live + "\n");
    ASSERT_TRUE(kv::remove_device_line(file.string(), ours));
    EXPECT_EQ(read_text(file), live + "\n");
}

TEST(SimDevicesFile, SpecialFilesAreRefusedWithoutWaiting)
{
    TempDir dir;
    const auto fifo = dir.path / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string ours = kv::device_line("/dev/pts/7", "TSV0417A", long(getpid()));
    alarm(60);   // watchdog: a blocking open or an endless read ends the test
    EXPECT_FALSE(kv::add_device_line(fifo.string(), ours));
    EXPECT_EQ(errno, EINVAL);   // not a regular file
    EXPECT_FALSE(kv::remove_device_line(fifo.string(), ours));
    EXPECT_FALSE(kv::add_device_line("/dev/zero", ours));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(kv::remove_device_line("/dev/zero", ours));
    EXPECT_FALSE(kv::add_device_line(dir.path.string(), ours));
    alarm(0);
}

TEST(SimWireQueue, WithoutARateEverythingIsDueAtOnce)
{
    kv::WireQueue q;
    const uint8_t bytes[] = {1, 2, 3};
    q.push(bytes, 3, 5.0);
    EXPECT_EQ(q.due(4.999), 0u);
    EXPECT_EQ(q.due(5.0), 3u);
    EXPECT_EQ(q.front(5), (std::vector<uint8_t>{1, 2, 3}));
    q.pop(2);
    EXPECT_EQ(q.front(1), (std::vector<uint8_t>{3}));
    q.pop(10);
    EXPECT_TRUE(q.empty());
}

TEST(SimWireQueue, PacedBytesCrossOneAfterAnotherAtTheWireRate)
{
    kv::WireQueue q(kv::kWireBytesPerSecond);
    const std::vector<uint8_t> block(1152, 0xAA);   // a tenth of a second on the wire
    q.push(block.data(), block.size(), 10.0);
    EXPECT_EQ(q.due(10.0), 0u);
    EXPECT_NEAR(q.next_due(), 10.0 + 1.0 / 11520, 1e-9);
    EXPECT_EQ(q.due(10.05 + 1e-9), 576u);
    EXPECT_EQ(q.due(10.1 + 1e-9), 1152u);

    // A second burst queued while the wire is busy follows the first.
    const uint8_t more[] = {1, 2};
    q.push(more, 2, 10.01);
    EXPECT_EQ(q.due(10.1 + 1e-9), 1152u);
    EXPECT_EQ(q.due(10.1 + 2.0 / 11520 + 1e-9), 1154u);

    // Once the wire is idle, a later byte waits only for its own time.
    q.clear();
    q.push(more, 1, 20.0);
    EXPECT_NEAR(q.next_due(), 20.0 + 1.0 / 11520, 1e-9);
}

TEST(SimOptions, ParsesEveryOptionInBothForms)
{
    kv::SimOptions o;
    std::string error;
    ASSERT_TRUE(kv::parse_sim_options({"--devices", "/tmp/d", "--serial=TSV0500B", "--firmware", "3.0.1", "--update-mode",
                                       "--pace", "--state", "s.bin", "--log=-", "--data-dir", "bin", "--no-answer",
                                       "--short-answer", "--corrupt-echo", "3", "--late=1500", "--vanish-after", "0"},
                                      &o, &error))
        << error;
    EXPECT_EQ(o.devices_file, "/tmp/d");
    EXPECT_EQ(o.serial_number, "TSV0500B");
    EXPECT_TRUE(o.version_given);
    EXPECT_EQ(o.version, (kv::FirmwareVersion{3, 0, 1}));
    EXPECT_TRUE(o.update_mode && o.pace && o.no_answer && o.short_answer);
    EXPECT_EQ(o.state_file, "s.bin");
    EXPECT_EQ(o.log_file, "-");
    EXPECT_EQ(o.data_dir, "bin");
    EXPECT_EQ(o.corrupt_echo, 3);
    EXPECT_EQ(o.late_ms, 1500);
    EXPECT_EQ(o.vanish_after, 0);

    kv::SimOptions d;
    ASSERT_TRUE(kv::parse_sim_options({}, &d, &error));
    EXPECT_EQ(d.serial_number, "TSV0417A");
    EXPECT_EQ(d.version, (kv::FirmwareVersion{2, 5, 0}));
    EXPECT_FALSE(d.version_given);
    EXPECT_EQ(d.vanish_after, -1);
    EXPECT_FALSE(d.help);
}

TEST(SimOptions, RefusesWhatItCannotUse)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--devices"},           {"--firmware", "2.3"},     {"--firmware", "16.0.0"}, {"--late", "-5"},
        {"--corrupt-echo", "x"}, {"--vanish-after", ""},    {"--frobnicate"},        {"--pace=1"},
        {"--serial", "ABCDEFGHIJKLMNOP"}, {"--serial", "A\tB"}, {"extra"},
    };
    for (const auto& args : bad) {
        kv::SimOptions o;
        std::string error;
        EXPECT_FALSE(kv::parse_sim_options(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
    kv::SimOptions o;
    std::string error;
    ASSERT_TRUE(kv::parse_sim_options({"--help"}, &o, &error));
    EXPECT_TRUE(o.help);
    for (const char* name : {"--devices", "--serial", "--firmware", "--update-mode", "--pace", "--state", "--log",
                             "--data-dir", "--no-answer", "--short-answer", "--corrupt-echo", "--late", "--vanish-after"})
        EXPECT_NE(kv::sim_usage().find(name), std::string::npos) << name;
}

}  // namespace
