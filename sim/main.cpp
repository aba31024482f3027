// tessivar-sim: a simulated Brakwell Tessivar on a pseudo-terminal.
//
// The editor opens and closes the port for every exchange, so the program
// keeps a slave descriptor of its own open for its whole life: the port never
// hangs up between exchanges. The master runs in packet mode, which tells us
// when the editor purges its queues; a purge drops whatever answer is still
// on its way and any half-received request, as the bridge's purge would.

#include "platform/Clock.h"
#include "sim/DevicesFile.h"
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "sim/SimOptions.h"
#include "sim/WireQueue.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace kv;

constexpr double kSaveAfterQuiet = 0.3;   // seconds without traffic before the state is written
constexpr double kVanishGrace = 2.0;      // longest wait for the last answer to be read
// The pty hands written bytes to the slave side asynchronously, so right after
// the last answer FIONREAD on the slave can still read 0: give it this long.
constexpr double kVanishSettle = 0.1;
// Paced bytes are handed over in batches up to this long, the last byte of a
// queue exactly when it is due, so a request or an answer ends on time
// without a wake-up for every byte.
constexpr double kWireBatch = 0.001;

class Log {
public:
    ~Log()
    {
        if (file_ && own_) std::fclose(file_);
    }
    bool open(const std::string& path)
    {
        if (path.empty()) return true;
        if (path == "-") {
            file_ = stderr;
            return true;
        }
        // Opened without blocking, so a FIFO nobody reads cannot hold up the
        // start; writes block as usual afterwards.
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
        if (fd < 0) return false;
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        file_ = ::fdopen(fd, "a");
        if (!file_) ::close(fd);
        own_ = file_ != nullptr;
        return file_ != nullptr;
    }
    bool enabled() const { return file_ != nullptr; }
    void line(const std::string& text)
    {
        if (!file_) return;
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm local{};
        localtime_r(&ts.tv_sec, &local);
        std::fprintf(file_, "%02d:%02d:%02d.%03ld  %s\n", local.tm_hour, local.tm_min, local.tm_sec,
                     long(ts.tv_nsec / 1000000), text.c_str());
        std::fflush(file_);
    }

private:
    FILE* file_ = nullptr;
    bool own_ = false;
};

std::string describe(const PedalRequest& r)
{
    std::string s = r.name + "  " + std::to_string(r.length) + (r.length == 1 ? " byte:" : " bytes:");
    char hex[4];
    for (uint8_t b : r.head) {
        std::snprintf(hex, sizeof hex, " %02x", b);
        s += hex;
    }
    if (r.length > r.head.size()) s += " ...";
    if (r.reply_length > 0) s += "  -> answered " + std::to_string(r.reply_length) + " bytes";
    return s;
}

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;

    void close_all()
    {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
        slave = master = -1;
    }
};

void make_raw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
}

bool open_pty(Pty& p, std::string& error)
{
    p.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    if (grantpt(p.master) != 0 || unlockpt(p.master) != 0) {
        error = std::string("grantpt/unlockpt: ") + std::strerror(errno);
        return false;
    }
    std::vector<char> name(64);
    for (;;) {
        const int r = ptsname_r(p.master, name.data(), name.size());
        if (r == 0) break;
        if (r != ERANGE || name.size() > 65536) {
            error = std::string("ptsname_r: ") + std::strerror(r);
            return false;
        }
        name.resize(name.size() * 2);
    }
    p.path = name.data();
    p.slave = ::open(p.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.slave < 0) {
        error = "open " + p.path + ": " + std::strerror(errno);
        return false;
    }
    make_raw(p.slave);
    make_raw(p.master);
    int on = 1;
    if (ioctl(p.master, TIOCPKT, &on) != 0) {
        error = std::string("TIOCPKT: ") + std::strerror(errno);
        return false;
    }
    const int flags = fcntl(p.master, F_GETFL);
    if (flags < 0 || fcntl(p.master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::string("O_NONBLOCK: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// The simulator's life: power up, serve the pseudo-terminal until a signal
// (or a vanishing fault) ends it, keep the memory file up to date.
class Server {
public:
    explicit Server(const SimOptions& opt) : opt_(opt), clock_(system_clock()), model_(clock_) {}
    ~Server()
    {
        if (serving_) stop_serving();
        pty_.close_all();
        if (sigfd_ >= 0) ::close(sigfd_);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int run()
    {
        if (!log_.open(opt_.log_file)) {
            std::fprintf(stderr, "tessivar-sim: cannot open log file %s: %s\n", opt_.log_file.c_str(),
                         std::strerror(errno));
            return 1;
        }
        if (!watch_signals()) return 1;
        power_up();
        load_state_file();
        if (!open_port()) return 1;
        serve();
        if (serving_) stop_serving();
        save_if_changed();
        log_.line("stopped");
        return 0;
    }

private:
    static constexpr size_t kNoPurge = size_t(-1);

    // Signals arrive through a descriptor, so the loop below never misses one.
    // Every file below is opened without blocking and every wait checks for
    // them, so a stop request is honoured at any moment of the start too.
    bool watch_signals()
    {
        sigemptyset(&mask_);
        sigaddset(&mask_, SIGTERM);
        sigaddset(&mask_, SIGINT);
        sigaddset(&mask_, SIGHUP);
        sigprocmask(SIG_BLOCK, &mask_, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        sigfd_ = signalfd(-1, &mask_, SFD_CLOEXEC | SFD_NONBLOCK);
        if (sigfd_ < 0) {
            std::fprintf(stderr, "tessivar-sim: signalfd: %s\n", std::strerror(errno));
            return false;
        }
        return true;
    }

    bool stop_requested() const
    {
        sigset_t pending;
        if (sigpending(&pending) != 0) return false;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            if (sigismember(&mask_, sig) == 1 && sigismember(&pending, sig) == 1) return true;
        return false;
    }

    void power_up()
    {
        const std::string data_dir = opt_.data_dir.empty() ? find_data_folder() : opt_.data_dir;
        FactorySources sources;
        model_.set_memory(factory_memory(data_dir, &sources));
        log_.line("factory data from " + (data_dir.empty() ? std::string("built-in defaults") : data_dir) +
                  (sources.presets ? "" : " (built-in presets)") + (sources.library ? "" : " (built-in algorithms)") +
                  (sources.arp ? "" : " (built-in arp table)"));
        for (const std::string& problem : sources.problems) {
            std::fprintf(stderr, "tessivar-sim: %s; using the built-in stand-in\n", problem.c_str());
            log_.line(problem);
        }
    }

    // The memory file: only a regular file is read or ever replaced. A
    // damaged one is moved aside before the first new state is written.
    // The fault options apply after it, to whatever memory it gave.
    void load_state_file()
    {
        state_file_ = opt_.state_file;
        if (!state_file_.empty()) {
            const StateFileLoad loaded = model_.load_state_checked(state_file_);
            switch (loaded.status) {
            case StateFileStatus::Loaded:
                log_.line("memory loaded from " + state_file_);
                break;
            case StateFileStatus::Missing:
                break;
            case StateFileStatus::Refused:
                std::fprintf(stderr, "tessivar-sim: %s; the memory will not be kept\n",
                             read_failure_message(state_file_, loaded.error).c_str());
                log_.line("state file refused, memory not kept");
                state_file_.clear();
                break;
            case StateFileStatus::Damaged:
                std::fprintf(stderr,
                             "tessivar-sim: state file %s is damaged; starting factory-fresh (the damaged file is "
                             "kept as %s.damaged when the memory is next saved)\n",
                             state_file_.c_str(), state_file_.c_str());
                log_.line("state file damaged, factory-fresh memory");
                keep_damaged_ = true;
                break;
            }
        }
        if (opt_.version_given) model_.set_firmware_version(opt_.version);
        model_.set_serial_number(opt_.serial_number);
        model_.set_update_mode(opt_.update_mode);
        model_.set_no_answer(opt_.no_answer);
        model_.set_short_answer(opt_.short_answer);
        model_.corrupt_next_echoes(opt_.corrupt_echo);
        model_.spoil_next_headers(opt_.spoil_header);
        model_.set_reply_delay(opt_.late_ms / 1000.0);
        if (log_.enabled()) model_.set_request_observer([this](const PedalRequest& r) { log_.line(describe(r)); });
    }

    // Opens the pseudo-terminal, lists it in the devices file when one is
    // named and says where it serves.
    bool open_port()
    {
        std::string error;
        if (!open_pty(pty_, error)) {
            std::fprintf(stderr, "tessivar-sim: %s\n", error.c_str());
            return false;
        }
        device_line_ = device_line(pty_.path, opt_.serial_number, long(getpid()));
        if (!opt_.devices_file.empty()) {
            if (!add_device_line(opt_.devices_file, device_line_, [this]() { return stop_requested(); })) {
                const int e = errno;
                const char* why = e == EINVAL ? "not a regular file"
                                  : e == EFBIG ? "larger than a devices list can be"
                                  : e == EINTR ? "stopped while waiting for its lock"
                                               : std::strerror(e);
                std::fprintf(stderr, "tessivar-sim: cannot add to %s: %s\n", opt_.devices_file.c_str(), why);
                return false;
            }
            listed_ = true;
        }
        std::printf("tessivar-sim: serving on %s\n", pty_.path.c_str());
        std::fflush(stdout);
        log_.line("serving on " + pty_.path + ", firmware " + format_firmware_version(model_.firmware_version()) +
                  (model_.update_mode() ? " (update mode)" : "") + ", serial " + opt_.serial_number);
        serving_ = true;
        return true;
    }

    void serve()
    {
        // The fault counts from now on.
        model_.vanish_after(opt_.vanish_after);
        rate_ = opt_.pace ? kWireBytesPerSecond : 0.0;
        // Wake-ups a microsecond late at most, not the default 50: a paced
        // byte crosses in 87.
        prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
        incoming_ = WireQueue(rate_);
        outgoing_ = WireQueue(rate_);
        saved_generation_ = model_.generation();
        last_traffic_ = clock_.now();
        for (;;) {
            const int r = wait_for_something();
            if (r < 0) break;
            if (signalled()) break;
            if (serving_ && r > 0 && port_revents_ != 0) read_port();
            if (serving_) {
                const double now = clock_.now();
                deliver_incoming(now);
                send_outgoing(now);
                check_vanished(now);
            }
            if (clock_.now() - last_traffic_ >= kSaveAfterQuiet) save_if_changed();
        }
    }

    // Sleeps until a byte is due, the port or a signal wants attention, or
    // the memory file is due to be written. Negative: poll failed.
    int wait_for_something()
    {
        const double now = clock_.now();
        double wait = -1.0;   // seconds; negative: until something happens
        auto wake_at = [&](double due) {
            const double v = std::clamp(due - now, 0.0, 60.0);
            wait = wait < 0 ? v : std::min(wait, v);
        };
        auto wake_for = [&](const WireQueue& q) { wake_at(std::min(q.next_due() + kWireBatch, q.last_due())); };
        if (!incoming_.empty()) wake_for(incoming_);
        if (!outgoing_.empty() && !out_blocked_) wake_for(outgoing_);
        if (!state_file_.empty() && model_.generation() != saved_generation_) wake_at(last_traffic_ + kSaveAfterQuiet);
        if (wake_at_least_ >= 0) wake_at(now + wake_at_least_);
        wake_at_least_ = -1.0;

        fds_[0] = {sigfd_, POLLIN, 0};
        fds_[1] = {-1, 0, 0};
        nfds_t count = 1;
        if (serving_) {
            fds_[1] = {pty_.master, short(POLLIN | (out_blocked_ ? POLLOUT : 0)), 0};
            count = 2;
        }
        timespec limit{};
        limit.tv_sec = time_t(wait);
        limit.tv_nsec = long((wait - double(limit.tv_sec)) * 1e9);
        const int r = ::ppoll(fds_, count, wait < 0 ? nullptr : &limit, nullptr);
        if (r < 0 && errno != EINTR) {
            std::fprintf(stderr, "tessivar-sim: poll: %s\n", std::strerror(errno));
            return -1;
        }
        port_revents_ = r > 0 ? fds_[1].revents : 0;
        signal_revents_ = r > 0 ? fds_[0].revents : 0;
        return r;
    }

    bool signalled()
    {
        if (!(signal_revents_ & POLLIN)) return false;
        signalfd_siginfo info{};
        if (::read(sigfd_, &info, sizeof info) > 0) log_.line("signal " + std::to_string(info.ssi_signo) + ", stopping");
        return true;
    }

    // What the editor wrote, or its purge (packet mode says which).
    void read_port()
    {
        const double now = clock_.now();
        if (port_revents_ & POLLOUT) out_blocked_ = false;
        bool got_anything = false;
        for (;;) {
            const ssize_t n = ::read(pty_.master, buf_.data(), buf_.size());
            if (n <= 0) break;
            got_anything = true;
            if (buf_[0] == TIOCPKT_DATA) {
                incoming_.push(buf_.data() + 1, size_t(n - 1), now);
                last_traffic_ = now;
            } else if (buf_[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE)) {
                host_purged();
            }
        }
        if (!got_anything && (port_revents_ & (POLLHUP | POLLERR))) {
            // Not expected while we hold the slave open; do not spin on it.
            ::poll(nullptr, 0, 10);
        }
    }

    // The editor purged. No answer still on its way may reach its next
    // exchange, and a request it gave up half-way is forgotten. Bytes it
    // wrote before the purge have left the editor already: they still cross
    // the wire first.
    void host_purged()
    {
        if (model_.mid_command() || !outgoing_.empty()) log_.line("queues purged by the host");
        outgoing_.clear();
        out_blocked_ = false;
        if (incoming_.empty()) {
            model_.host_purged();
            purge_mark_ = kNoPurge;
        } else {
            purge_mark_ = incoming_.size();
        }
    }

    // Bytes that have crossed the wire reach the pedal.
    void deliver_incoming(double now)
    {
        for (size_t k = incoming_.due(now); k > 0; k = incoming_.due(now)) {
            if (purge_mark_ != kNoPurge) k = std::min(k, purge_mark_);
            const std::vector<uint8_t> bytes = incoming_.front(k);
            // The pedal answers from the moment the last byte crossed,
            // however late this loop got round to it.
            const double crossed = rate_ > 0 ? incoming_.due_at(k - 1) : now;
            incoming_.pop(k);
            reply_.clear();
            model_.receive(bytes.data(), bytes.size(), reply_);
            if (!reply_.empty()) outgoing_.push(reply_.data(), reply_.size(), crossed + model_.reply_delay());
            if (purge_mark_ != kNoPurge && (purge_mark_ -= k) == 0) {
                model_.host_purged();
                purge_mark_ = kNoPurge;
            }
        }
    }

    void send_outgoing(double now)
    {
        if (const size_t k = outgoing_.due(now); k > 0 && !out_blocked_) {
            const std::vector<uint8_t> bytes = outgoing_.front(k);
            const ssize_t w = ::write(pty_.master, bytes.data(), bytes.size());
            if (w >= 0) {
                outgoing_.pop(size_t(w));
                if (size_t(w) < bytes.size()) out_blocked_ = true;   // the editor is not reading
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                out_blocked_ = true;
            } else if (errno != EINTR) {
                outgoing_.clear();
            }
            last_traffic_ = now;
        }
    }

    // A vanished device leaves the list at once; the answer to its last
    // request stays readable (for at most kVanishGrace) before the tty goes
    // too.
    void check_vanished(double now)
    {
        int unread = 0;
        if (model_.vanished() && outgoing_.empty() && vanish_started_ < 0) {
            vanish_started_ = now;
            unlist();
        }
        const bool settling = vanish_started_ >= 0 && now - vanish_started_ < kVanishSettle;
        if (vanish_started_ >= 0 && now - vanish_started_ < kVanishGrace &&
            (settling || (ioctl(pty_.slave, FIONREAD, &unread) == 0 && unread > 0))) {
            wake_at_least_ = 0.01;
        } else if (vanish_started_ >= 0) {
            log_.line("device vanished");
            std::printf("tessivar-sim: device vanished\n");
            std::fflush(stdout);
            stop_serving();
        }
    }

    void save_if_changed()
    {
        if (state_file_.empty() || model_.generation() == saved_generation_) return;
        if (keep_damaged_ && !move_damaged_aside()) return;
        if (model_.save_state(state_file_)) {
            saved_generation_ = model_.generation();
        } else if (!save_failed_reported_) {
            std::fprintf(stderr, "tessivar-sim: cannot write state file %s\n", state_file_.c_str());
            save_failed_reported_ = true;
            saved_generation_ = model_.generation();   // try again on the next change
        }
    }

    // False when the damaged file could not be kept: then nothing is written
    // over the only copy of what the user had.
    bool move_damaged_aside()
    {
        struct stat st {};
        if (::lstat(state_file_.c_str(), &st) != 0) {
            keep_damaged_ = false;   // gone meanwhile: nothing to keep
        } else if (const auto kept = keep_damaged_state_file(state_file_)) {
            std::fprintf(stderr, "tessivar-sim: damaged state file kept as %s\n", kept->c_str());
            log_.line("damaged state file kept as " + *kept);
            keep_damaged_ = false;
        } else {
            std::fprintf(stderr,
                         "tessivar-sim: cannot move the damaged state file %s aside; the memory will not be kept\n",
                         state_file_.c_str());
            state_file_.clear();
            return false;
        }
        return true;
    }

    void unlist()
    {
        if (listed_) remove_device_line(opt_.devices_file, device_line_);
        listed_ = false;
    }

    void stop_serving()
    {
        unlist();
        pty_.close_all();
        serving_ = false;
        incoming_.clear();
        outgoing_.clear();
        purge_mark_ = kNoPurge;
    }

    const SimOptions& opt_;
    Clock& clock_;
    Log log_;
    PedalModel model_;
    sigset_t mask_{};
    int sigfd_ = -1;
    Pty pty_;
    std::string device_line_;
    bool listed_ = false;
    bool serving_ = false;
    std::string state_file_;
    bool keep_damaged_ = false;
    bool save_failed_reported_ = false;
    uint64_t saved_generation_ = 0;

    double rate_ = 0.0;
    WireQueue incoming_{0.0}, outgoing_{0.0};
    bool out_blocked_ = false;
    double last_traffic_ = 0.0;
    double vanish_started_ = -1.0;
    size_t purge_mark_ = kNoPurge;   // incoming bytes that were sent before the last purge
    double wake_at_least_ = -1.0;    // seconds until the loop must look again, when set
    pollfd fds_[2]{};
    short port_revents_ = 0;
    short signal_revents_ = 0;
    std::vector<uint8_t> buf_ = std::vector<uint8_t>(4096);
    std::vector<uint8_t> reply_;
};

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    kv::SimOptions opt;
    std::string error;
    if (!kv::parse_sim_options(args, &opt, &error)) {
        std::fprintf(stderr, "tessivar-sim: %s\n\n%s", error.c_str(), kv::sim_usage().c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(kv::sim_usage().c_str(), stdout);
        return 0;
    }
    if (opt.show_version) {
        std::puts("tessivar-sim " KORVANE_VERSION);
        return 0;
    }
    return Server(opt).run();
}
