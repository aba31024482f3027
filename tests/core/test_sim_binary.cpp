// Runs the real tessivar-sim on its pseudo-terminal. This is a separate
// process, so the waits below are real, each bounded well under a second.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::string kSim = std::string(KV_BINARY_DIR) + "/tessivar-sim";

std::string read_text(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Reads until `len` bytes, a newline when `line` is set, or the timeout;
// returns what arrived.
std::string read_for(int fd, size_t len, int timeout_ms, bool line = false)
{
    std::string got;
    while (got.size() < len && !(line && got.find('\n') != std::string::npos)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) <= 0) break;
        char buf[256];
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, len - got.size()));
        if (n <= 0) break;
        got.append(buf, size_t(n));
    }
    return got;
}

struct SimProcess {
    pid_t pid = -1;
    int out = -1;

    bool start(const std::vector<std::string>& args)
    {
        int pipefd[2];
        if (::pipe(pipefd) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipefd[0]);
        std::vector<std::string> all{kSim};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int r = posix_spawn(&pid, kSim.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipefd[1]);
        out = pipefd[0];
        return r == 0;
    }
    // Sends SIGTERM and waits (at most about a second) for the exit status.
    int stop()
    {
        if (pid <= 0) return -1;
        ::kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return status;
            }
            ::poll(nullptr, 0, 10);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        pid = -1;
        return -1;
    }
    ~SimProcess()
    {
        if (pid > 0) stop();
        if (out >= 0) ::close(out);
    }
};

TEST(SimBinary, AnswersOnItsPtyAndCleansUpItsDevicesLine)
{
    if (!std::filesystem::exists(kSim)) GTEST_SKIP() << "tessivar-sim not built";
    const auto dir = std::filesystem::temp_directory_path() / ("kv_sim_bin_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto devices = dir / "devices";
    const std::string foreign = "/dev/ttyUSB3\tSomething Else\tFT12345\n";
    { std::ofstream(devices) << foreign; }

    SimProcess sim;
    ASSERT_TRUE(sim.start({"--devices", devices.string(), "--firmware", "2.3.1", "--serial", "TSV0999Z"}));
    const std::string banner = read_for(sim.out, 200, 900, true);
    const std::string prefix = "tessivar-sim: serving on ";
    ASSERT_EQ(banner.rfind(prefix, 0), 0u) << banner;
    const std::string tty = banner.substr(prefix.size(), banner.find('\n') - prefix.size());

    // The line is in place by the time the banner is out.
    const std::string listed = read_text(devices);
    EXPECT_EQ(listed, foreign + tty + "\tBrakwell Tessivar\tTSV0999Z\t" + std::to_string(sim.pid) + "\n");

    // Two exchanges, opening and closing the port for each as the editor does.
    for (int round = 0; round < 2; ++round) {
        const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
        const unsigned char request = 0xC0;
        ASSERT_EQ(::write(fd, &request, 1), 1);
        EXPECT_EQ(read_for(fd, 2, 900), std::string("\x23\x81"));
        tcflush(fd, TCIOFLUSH);
        ::close(fd);
    }

    const int status = sim.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_text(devices), foreign);
    std::filesystem::remove_all(dir);
}

// Opens the simulator's tty in raw mode.
int open_raw(const std::string& tty)
{
    const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

std::string start_and_get_tty(SimProcess& sim, const std::vector<std::string>& args)
{
    if (!sim.start(args)) return {};
    const std::string banner = read_for(sim.out, 200, 900, true);
    const std::string prefix = "tessivar-sim: serving on ";
    if (banner.rfind(prefix, 0) != 0) return {};
    return banner.substr(prefix.size(), banner.find('\n') - prefix.size());
}

TEST(SimBinary, APurgeDropsALateAnswerStillOnItsWay)
{
    if (!std::filesystem::exists(kSim)) GTEST_SKIP() << "tessivar-sim not built";
    SimProcess sim;
    const std::string tty = start_and_get_tty(sim, {"--late", "250"});
    ASSERT_FALSE(tty.empty());
    const int fd = open_raw(tty);
    ASSERT_GE(fd, 0);
    const unsigned char state = 0xC0, globals = 0xC1;
    ASSERT_EQ(::write(fd, &state, 1), 1);
    EXPECT_EQ(read_for(fd, 2, 40), "");   // not yet: the editor gives up and purges
    tcflush(fd, TCIOFLUSH);
    ASSERT_EQ(::write(fd, &globals, 1), 1);
    const std::string reply = read_for(fd, 34, 400);
    ASSERT_EQ(reply.size(), 34u);
    EXPECT_EQ(uint8_t(reply[0]), 0x60);   // the globals, not the stale state bytes
    EXPECT_EQ(read_for(fd, 1, 50), "");   // and nothing after them
    ::close(fd);
    EXPECT_EQ(sim.stop(), 0);
}

TEST(SimBinary, AVanishedPedalLeavesTheListAfterItsLastAnswer)
{
    if (!std::filesystem::exists(kSim)) GTEST_SKIP() << "tessivar-sim not built";
    const auto devices = std::filesystem::temp_directory_path() / ("kv_sim_vanish_" + std::to_string(getpid()));
    std::filesystem::remove(devices);
    SimProcess sim;
    const std::string tty = start_and_get_tty(sim, {"--devices", devices.string(), "--vanish-after", "1"});
    ASSERT_FALSE(tty.empty());
    const int fd = open_raw(tty);
    ASSERT_GE(fd, 0);
    const unsigned char state = 0xC0;
    ASSERT_EQ(::write(fd, &state, 1), 1);
    EXPECT_EQ(read_for(fd, 2, 900), std::string("\x25\x80"));
    ::close(fd);
    EXPECT_EQ(read_for(sim.out, 200, 900, true), "tessivar-sim: device vanished\n");
    EXPECT_EQ(read_text(devices), "");
    EXPECT_EQ(sim.stop(), 0);
    std::filesystem::remove(devices);
}

TEST(SimBinary, RefusesABadOption)
{
    if (!std::filesystem::exists(kSim)) GTEST_SKIP() << "tessivar-sim not built";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--firmware", "1.2"}));
    int status = 0;
    ASSERT_EQ(::waitpid(sim.pid, &status, 0), sim.pid);
    sim.pid = -1;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
