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

int run(const SimOptions& opt)
{
    Clock& clock = system_clock();
    Log log;
    if (!log.open(opt.log_file)) {
        std::fprintf(stderr, "tessivar-sim: cannot open log file %s: %s\n", opt.log_file.c_str(), std::strerror(errno));
        return 1;
    }

    // Signals arrive through a descriptor, so the loop below never misses one.
    // Every file below is opened without blocking and every wait checks for
    // them, so a stop request is honoured at any moment of the start too.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGHUP);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int sigfd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (sigfd < 0) {
        std::fprintf(stderr, "tessivar-sim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }
    auto stop_requested = [&mask]() {
        sigset_t pending;
        if (sigpending(&pending) != 0) return false;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            if (sigismember(&mask, sig) == 1 && sigismember(&pending, sig) == 1) return true;
        return false;
    };

    // Power up.
    PedalModel model(clock);
    const std::string data_dir = opt.data_dir.empty() ? find_data_folder() : opt.data_dir;
    FactorySources sources;
    model.set_memory(factory_memory(data_dir, &sources));
    log.line("factory data from " + (data_dir.empty() ? std::string("built-in defaults") : data_dir) +
             (sources.presets ? "" : " (built-in presets)") + (sources.library ? "" : " (built-in algorithms)") +
             (sources.arp ? "" : " (built-in arp table)"));
    for (const std::string& problem : sources.problems) {
        std::fprintf(stderr, "tessivar-sim: %s; using the built-in stand-in\n", problem.c_str());
        log.line(problem);
    }
    // The memory file: only a regular file is read or ever replaced. A
    // damaged one is moved aside before the first new state is written.
    std::string state_file = opt.state_file;
    bool keep_damaged = false;
    if (!state_file.empty()) {
        const StateFileLoad loaded = model.load_state_checked(state_file);
        switch (loaded.status) {
        case StateFileStatus::Loaded:
            log.line("memory loaded from " + state_file);
            break;
        case StateFileStatus::Missing:
            break;
        case StateFileStatus::Refused:
            std::fprintf(stderr, "tessivar-sim: %s; the memory will not be kept\n",
                         read_failure_message(state_file, loaded.error).c_str());
            log.line("state file refused, memory not kept");
            state_file.clear();
            break;
        case StateFileStatus::Damaged:
            std::fprintf(stderr,
                         "tessivar-sim: state file %s is damaged; starting factory-fresh (the damaged file is "
                         "kept as %s.damaged when the memory is next saved)\n",
                         state_file.c_str(), state_file.c_str());
            log.line("state file damaged, factory-fresh memory");
            keep_damaged = true;
            break;
        }
    }
    if (opt.version_given) model.set_firmware_version(opt.version);
    model.set_serial_number(opt.serial_number);
    model.set_update_mode(opt.update_mode);
    model.set_no_answer(opt.no_answer);
    model.set_short_answer(opt.short_answer);
    model.corrupt_next_echoes(opt.corrupt_echo);
    model.spoil_next_headers(opt.spoil_header);
    model.set_reply_delay(opt.late_ms / 1000.0);
    if (log.enabled()) model.set_request_observer([&log](const PedalRequest& r) { log.line(describe(r)); });

    Pty pty;
    std::string error;
    if (!open_pty(pty, error)) {
        std::fprintf(stderr, "tessivar-sim: %s\n", error.c_str());
        pty.close_all();
        ::close(sigfd);
        return 1;
    }
    const std::string line = device_line(pty.path, opt.serial_number, long(getpid()));
    bool listed = false;
    if (!opt.devices_file.empty()) {
        if (!add_device_line(opt.devices_file, line, stop_requested)) {
            const int e = errno;
            const char* why = e == EINVAL ? "not a regular file"
                              : e == EFBIG ? "larger than a devices list can be"
                              : e == EINTR ? "stopped while waiting for its lock"
                                           : std::strerror(e);
            std::fprintf(stderr, "tessivar-sim: cannot add to %s: %s\n", opt.devices_file.c_str(), why);
            pty.close_all();
            ::close(sigfd);
            return 1;
        }
        listed = true;
    }
    std::printf("tessivar-sim: serving on %s\n", pty.path.c_str());
    std::fflush(stdout);
    log.line("serving on " + pty.path + ", firmware " + format_firmware_version(model.firmware_version()) +
             (model.update_mode() ? " (update mode)" : "") + ", serial " + opt.serial_number);
    // The fault counts from now on.
    model.vanish_after(opt.vanish_after);

    const double rate = opt.pace ? kWireBytesPerSecond : 0.0;
    // Wake-ups a microsecond late at most, not the default 50: a paced byte
    // crosses in 87.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    WireQueue incoming(rate), outgoing(rate);
    bool serving = true;
    bool out_blocked = false;
    bool stop = false;
    uint64_t saved_generation = model.generation();
    double last_traffic = clock.now();
    bool save_failed_reported = false;
    double vanish_started = -1.0;
    constexpr size_t kNoPurge = size_t(-1);
    size_t purge_mark = kNoPurge;   // incoming bytes that were sent before the last purge
    double wake_at_least = -1.0;   // seconds until the loop must look again, when set

    auto save_if_changed = [&]() {
        if (state_file.empty() || model.generation() == saved_generation) return;
        if (keep_damaged) {
            struct stat st {};
            if (::lstat(state_file.c_str(), &st) != 0) {
                keep_damaged = false;   // gone meanwhile: nothing to keep
            } else if (const auto kept = keep_damaged_state_file(state_file)) {
                std::fprintf(stderr, "tessivar-sim: damaged state file kept as %s\n", kept->c_str());
                log.line("damaged state file kept as " + *kept);
                keep_damaged = false;
            } else {
                // Never write over the only copy of what the user had.
                std::fprintf(stderr, "tessivar-sim: cannot move the damaged state file %s aside; the memory will not be kept\n",
                             state_file.c_str());
                state_file.clear();
                return;
            }
        }
        if (model.save_state(state_file)) {
            saved_generation = model.generation();
        } else if (!save_failed_reported) {
            std::fprintf(stderr, "tessivar-sim: cannot write state file %s\n", state_file.c_str());
            save_failed_reported = true;
            saved_generation = model.generation();   // try again on the next change
        }
    };
    auto unlist = [&]() {
        if (listed) remove_device_line(opt.devices_file, line);
        listed = false;
    };
    auto stop_serving = [&]() {
        unlist();
        pty.close_all();
        serving = false;
        incoming.clear();
        outgoing.clear();
        purge_mark = kNoPurge;
    };

    std::vector<uint8_t> buf(4096);
    std::vector<uint8_t> reply;
    while (!stop) {
        double now = clock.now();
        double wait = -1.0;   // seconds; negative: until something happens
        auto wake_at = [&](double due) {
            const double v = std::clamp(due - now, 0.0, 60.0);
            wait = wait < 0 ? v : std::min(wait, v);
        };
        auto wake_for = [&](const WireQueue& q) { wake_at(std::min(q.next_due() + kWireBatch, q.last_due())); };
        if (!incoming.empty()) wake_for(incoming);
        if (!outgoing.empty() && !out_blocked) wake_for(outgoing);
        if (!state_file.empty() && model.generation() != saved_generation) wake_at(last_traffic + kSaveAfterQuiet);
        if (wake_at_least >= 0) wake_at(now + wake_at_least);
        wake_at_least = -1.0;

        pollfd fds[2] = {{sigfd, POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        if (serving) {
            fds[1] = {pty.master, short(POLLIN | (out_blocked ? POLLOUT : 0)), 0};
            count = 2;
        }
        timespec limit{};
        limit.tv_sec = time_t(wait);
        limit.tv_nsec = long((wait - double(limit.tv_sec)) * 1e9);
        const int r = ::ppoll(fds, count, wait < 0 ? nullptr : &limit, nullptr);
        if (r < 0 && errno != EINTR) {
            std::fprintf(stderr, "tessivar-sim: poll: %s\n", std::strerror(errno));
            break;
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            signalfd_siginfo info{};
            if (::read(sigfd, &info, sizeof info) > 0) log.line("signal " + std::to_string(info.ssi_signo) + ", stopping");
            stop = true;
            break;
        }

        now = clock.now();
        if (serving && r > 0 && fds[1].revents != 0) {
            if (fds[1].revents & POLLOUT) out_blocked = false;
            bool got_anything = false;
            for (;;) {
                const ssize_t n = ::read(pty.master, buf.data(), buf.size());
                if (n <= 0) break;
                got_anything = true;
                if (buf[0] == TIOCPKT_DATA) {
                    incoming.push(buf.data() + 1, size_t(n - 1), now);
                    last_traffic = now;
                } else if (buf[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE)) {
                    // The editor purged. No answer still on its way may reach
                    // its next exchange, and a request it gave up half-way is
                    // forgotten. Bytes it wrote before the purge have left the
                    // editor already: they still cross the wire first.
                    if (model.mid_command() || !outgoing.empty()) log.line("queues purged by the host");
                    outgoing.clear();
                    out_blocked = false;
                    if (incoming.empty()) {
                        model.host_purged();
                        purge_mark = kNoPurge;
                    } else {
                        purge_mark = incoming.size();
                    }
                }
            }
            if (!got_anything && (fds[1].revents & (POLLHUP | POLLERR))) {
                // Not expected while we hold the slave open; do not spin on it.
                ::poll(nullptr, 0, 10);
            }
        }

        // Bytes that have crossed the wire reach the pedal.
        if (serving) {
            now = clock.now();
            for (size_t k = incoming.due(now); k > 0; k = incoming.due(now)) {
                if (purge_mark != kNoPurge) k = std::min(k, purge_mark);
                const std::vector<uint8_t> bytes = incoming.front(k);
                // The pedal answers from the moment the last byte crossed,
                // however late this loop got round to it.
                const double crossed = rate > 0 ? incoming.due_at(k - 1) : now;
                incoming.pop(k);
                reply.clear();
                model.receive(bytes.data(), bytes.size(), reply);
                if (!reply.empty()) outgoing.push(reply.data(), reply.size(), crossed + model.reply_delay());
                if (purge_mark != kNoPurge && (purge_mark -= k) == 0) {
                    model.host_purged();
                    purge_mark = kNoPurge;
                }
            }
            if (const size_t k = outgoing.due(now); k > 0 && !out_blocked) {
                const std::vector<uint8_t> bytes = outgoing.front(k);
                const ssize_t w = ::write(pty.master, bytes.data(), bytes.size());
                if (w >= 0) {
                    outgoing.pop(size_t(w));
                    if (size_t(w) < bytes.size()) out_blocked = true;   // the editor is not reading
                } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    out_blocked = true;
                } else if (errno != EINTR) {
                    outgoing.clear();
                }
                last_traffic = now;
            }
            // A vanished device leaves the list at once; the answer to its
            // last request stays readable (for at most kVanishGrace) before
            // the tty goes too.
            int unread = 0;
            if (model.vanished() && outgoing.empty() && vanish_started < 0) {
                vanish_started = now;
                unlist();
            }
            const bool settling = vanish_started >= 0 && now - vanish_started < kVanishSettle;
            if (vanish_started >= 0 && now - vanish_started < kVanishGrace &&
                (settling || (ioctl(pty.slave, FIONREAD, &unread) == 0 && unread > 0))) {
                wake_at_least = 0.01;
            } else if (vanish_started >= 0) {
                log.line("device vanished");
                std::printf("tessivar-sim: device vanished\n");
                std::fflush(stdout);
                stop_serving();
            }
        }

        if (clock.now() - last_traffic >= kSaveAfterQuiet) save_if_changed();
    }

    if (serving) stop_serving();
    save_if_changed();
    ::close(sigfd);
    log.line("stopped");
    return 0;
}

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
    return run(opt);
}
