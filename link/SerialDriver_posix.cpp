#include "link/SerialDriver.h"

#include "link/DeviceList.h"
#include "link/PedalWire.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace kv {

namespace fs = std::filesystem;

struct SerialDriver::SystemPort {
    termios original{};   // the line settings found at open, put back at close
};

namespace {


speed_t speed_of(uint32_t baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

bool vanished_errno(int e)
{
    return e == EIO || e == ENXIO || e == ENODEV || e == EPIPE || e == EBADF;
}

// Keeps SIGPIPE from ending the process while a write runs (a path in the
// device file could name something other than a terminal).
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        was_pending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SigpipeGuard()
    {
        if (!was_pending_) {
            sigset_t pending;
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                sigset_t set;
                sigemptyset(&set);
                sigaddset(&set, SIGPIPE);
                timespec zero{};
                sigtimedwait(&set, nullptr, &zero);
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t old_{};
    bool was_pending_ = false;
};

// Raw 8N1 at `baud`, the settings made left in *applied. The line's wake-up
// threshold (VMIN) is left as it is: the reply waits set it. Nothing is
// written when the line is already set so (every exchange opens the port
// again).
bool apply_line_settings(int fd, uint32_t baud, termios* applied)
{
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    termios t = now;
    cfmakeraw(&t);
    // HUPCL off: the port is opened and closed for every exchange, and a
    // hang-up on each close would drop DTR and RTS, which a pedal behind a
    // real bridge may take for a reset.
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = now.c_cc[VMIN];
    t.c_cc[VTIME] = 0;
    const speed_t s = speed_of(baud);
    if (s != B0) {
        cfsetispeed(&t, s);
        cfsetospeed(&t, s);
    }
    *applied = t;
    if (std::memcmp(&t, &now, sizeof t) == 0) return true;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// True when two line settings differ only in what a pedal line leaves to us:
// the hang-up on close and the wake-up threshold and timer.
bool same_line(termios a, termios b)
{
    for (termios* t : {&a, &b}) {
        t->c_cflag &= ~tcflag_t(HUPCL);
        t->c_cc[VMIN] = 0;
        t->c_cc[VTIME] = 0;
    }
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The line discipline wakes a poll only once this many bytes are waiting
// (VMIN, with VTIME 0); one byte of termios holds at most 255.
constexpr uint32_t kMaxWakeThreshold = 255;
// Bytes taken from the kernel ahead of a read, at most.
constexpr size_t kReceiveBufferLimit = 65536;

} // namespace

int SerialDriver::fd_of(FtHandle handle) const
{
    const Port* p = find(handle);
    return p ? p->fd : -1;
}

FtStatus SerialDriver::line_state(const Port& port) const
{
    pollfd p{port.fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return FT_IO_ERROR;
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return FT_IO_ERROR;
    return FT_OK;
}

FtStatus SerialDriver::open_path(const std::string& path, FtHandle* handle)
{
    if (!handle) return FT_INVALID_PARAMETER;
    *handle = 0;
    holder_ = 0;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // EBUSY: another program holds the port exclusively (TIOCEXCL).
        if (errno == EBUSY) holder_ = flock_holder(path);
        return (errno == ENOENT || errno == ENODEV || errno == ENXIO) ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
    }
    // One program at a time: the lock keeps out every other user of this
    // layer, TIOCEXCL every other opener the kernel can refuse.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) holder_ = flock_holder(path);
        ::close(fd);
        return FT_DEVICE_NOT_OPENED;
    }
    if (!isatty(fd)) {
        ::close(fd);
        return FT_DEVICE_NOT_OPENED;
    }
    // The port's own settings go back when it is closed, so a terminal
    // opened by mistake is left as it was found.
    termios original{};
    if (tcgetattr(fd, &original) != 0) {
        ::close(fd);
        return FT_DEVICE_NOT_OPENED;
    }
    auto baud = baud_.find(path);
    termios raw{};
    if (!apply_line_settings(fd, baud == baud_.end() ? kWireBaud : baud->second, &raw)) {
        tcsetattr(fd, TCSANOW, &original);
        ::close(fd);
        return FT_DEVICE_NOT_OPENED;
    }
    ::ioctl(fd, TIOCEXCL);
    serial_struct ss{};
    bool low_latency_set = false;
    if (::ioctl(fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
        ss.flags |= ASYNC_LOW_LATENCY;
        // not every driver takes it
        low_latency_set = ::ioctl(fd, TIOCSSERIAL, &ss) == 0;
    }
    // Nothing from before this exchange may be taken for its answer. Only
    // what came in is dropped: a request of the previous exchange that the
    // pedal has not picked up yet (a SET_GLOBALS or a preview, which wait
    // for no answer) must still reach it. The flush is skipped when nothing
    // came in, as after the purge that ends an exchange: it is the dearest
    // call of an open, and on a pseudo-terminal it wakes the far side too.
    int queued_in = 0;
    if (::ioctl(fd, FIONREAD, &queued_in) != 0 || queued_in != 0) tcflush(fd, TCIFLUSH);

    FtHandle h = next_handle_++;
    if (next_handle_ == 0) next_handle_ = 1;
    Port port;
    port.fd = fd;
    port.path = path;
    port.system = std::make_shared<SystemPort>(SystemPort{original});
    port.restore_settings = !same_line(original, raw);
    port.low_latency_set = low_latency_set;
    port.wake_threshold = raw.c_cc[VMIN];
    ports_[h] = port;
    *handle = h;
    return FT_OK;
}

int SerialDriver::flock_holder(const std::string& path, const std::string& locks_file)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    // Lines such as "3: FLOCK  ADVISORY  WRITE 4711 00:19:12 0 EOF": the
    // file is named by its file system's device (major:minor, in hex) and
    // its inode.
    std::ostringstream name;
    name << std::hex << std::setfill('0') << std::setw(2) << major(st.st_dev) << ':' << std::setw(2)
         << minor(st.st_dev) << ':' << std::dec << st.st_ino;
    const std::string wanted = name.str();
    std::ifstream in(locks_file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long owner = 0;
        // Blocked waiters ("1: -> FLOCK ...") do not scan as holders.
        if (!(fields >> number >> kind >> mode >> access >> owner >> file)) continue;
        if (kind != "FLOCK" || file != wanted) continue;
        if (owner > 0 && owner != long(::getpid())) return int(owner);
    }
    return -1;
}

void SerialDriver::list_system_ports(std::vector<Listed>& out)
{
    for (const UsbTtyPort& port : list_usb_ttys()) {
        if (port.serial.empty()) continue;
        if (port.product.size() > kMaxDescriptionLength || port.serial.size() > kMaxSerialNumberLength) continue;
        Listed d;
        d.path = "/dev/" + port.name;
        d.info.description = port.product;
        d.info.serial_number = port.serial;
        out.push_back(std::move(d));
    }
}

FtStatus SerialDriver::close(FtHandle handle)
{
    auto it = ports_.find(handle);
    if (it == ports_.end()) return FT_INVALID_HANDLE;
    const int fd = it->second.fd;
    termios original = it->second.system->original;
    const bool restore_settings = it->second.restore_settings;
    const bool low_latency_set = it->second.low_latency_set;
    ports_.erase(it);
    // A line that was not a pedal line gets its settings back, all but the
    // hang-up, which would drop DTR and RTS at this very close.
    if (restore_settings) {
        original.c_cflag &= ~tcflag_t(HUPCL);
        tcsetattr(fd, TCSANOW, &original);
    }
    serial_struct ss{};
    if (low_latency_set && ::ioctl(fd, TIOCGSERIAL, &ss) == 0) {
        ss.flags &= ~ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &ss);
    }
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return FT_OK;
}

FtStatus SerialDriver::write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t* written)
{
    if (written) *written = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (len > 0 && !data) return FT_INVALID_PARAMETER;
    SigpipeGuard guard;
    uint32_t done = 0;
    const double deadline = system_clock().now() + port->write_ms / 1000.0;
    FtStatus result = FT_OK;
    while (done < len) {
        const ssize_t n = ::write(port->fd, data + done, len - done);
        if (n > 0) {
            done += uint32_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result = FT_IO_ERROR;
            break;
        }
        // The output buffer is full: wait for room until the write timeout.
        const double left = deadline - system_clock().now();
        if (left <= 0) break;
        pollfd p{port->fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, int(left * 1000.0) + 1);
        if (r < 0 && errno != EINTR) {
            result = FT_IO_ERROR;
            break;
        }
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            result = FT_IO_ERROR;
            break;
        }
    }
    if (written) *written = done;
    return result;
}

FtStatus SerialDriver::read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t* got)
{
    if (got) *got = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (len > 0 && !data) return FT_INVALID_PARAMETER;
    uint32_t done = uint32_t(std::min<size_t>(len, port->received.size()));
    if (done > 0) {
        std::copy_n(port->received.begin(), done, data);
        port->received.erase(port->received.begin(), port->received.begin() + done);
    }
    FtStatus result = FT_OK;
    while (done < len) {
        const ssize_t n = ::read(port->fd, data + done, len - done);
        if (n > 0) {
            done += uint32_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0) {
            result = vanished_errno(errno) ? FT_IO_ERROR : FT_OTHER_ERROR;
            break;
        }
        // Nothing queued, or the line hung up.
        result = line_state(*port);
        break;
    }
    if (got) *got = done;
    return result;
}

FtStatus SerialDriver::get_queue_status(FtHandle handle, uint32_t* rx_bytes)
{
    if (rx_bytes) *rx_bytes = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (line_state(*port) != FT_OK) return FT_IO_ERROR;
    int n = 0;
    if (::ioctl(port->fd, FIONREAD, &n) != 0) return FT_IO_ERROR;
    if (rx_bytes) *rx_bytes = uint32_t(std::max(n, 0)) + uint32_t(port->received.size());
    return FT_OK;
}

FtStatus SerialDriver::get_status(FtHandle handle, uint32_t* rx_bytes, uint32_t* tx_bytes, uint32_t* events)
{
    if (rx_bytes) *rx_bytes = 0;
    if (tx_bytes) *tx_bytes = 0;
    if (events) *events = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (line_state(*port) != FT_OK) return FT_IO_ERROR;
    int in = 0;
    int out = 0;
    if (::ioctl(port->fd, FIONREAD, &in) != 0) return FT_IO_ERROR;
    if (::ioctl(port->fd, TIOCOUTQ, &out) != 0) return FT_IO_ERROR;
    if (rx_bytes) *rx_bytes = uint32_t(std::max(in, 0)) + uint32_t(port->received.size());
    if (tx_bytes) *tx_bytes = uint32_t(std::max(out, 0));
    return FT_OK;
}

FtStatus SerialDriver::purge(FtHandle handle, uint32_t mask)
{
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    const bool rx = mask & FT_PURGE_RX;
    const bool tx = mask & FT_PURGE_TX;
    if (!rx && !tx) return FT_INVALID_PARAMETER;
    if (rx) port->received.clear();
    const int which = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
    if (tcflush(port->fd, which) != 0) return FT_IO_ERROR;
    return FT_OK;
}

FtStatus SerialDriver::take_waiting(Port& port)
{
    uint8_t chunk[1024];
    while (port.received.size() < kReceiveBufferLimit) {
        const size_t room = std::min(sizeof chunk, kReceiveBufferLimit - port.received.size());
        const ssize_t n = ::read(port.fd, chunk, room);
        if (n > 0) {
            port.received.insert(port.received.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return FT_OK;
        if (n < 0) return vanished_errno(errno) ? FT_IO_ERROR : FT_OTHER_ERROR;
        return line_state(port);
    }
    return FT_OK;
}

void SerialDriver::set_wake_threshold(Port& port, uint32_t bytes)
{
    const int wanted = int(std::clamp<uint32_t>(bytes, 1, kMaxWakeThreshold));
    if (port.wake_threshold == wanted) return;
    termios t{};
    if (tcgetattr(port.fd, &t) != 0) return;
    t.c_cc[VMIN] = cc_t(wanted);
    t.c_cc[VTIME] = 0;
    if (tcsetattr(port.fd, TCSANOW, &t) == 0) port.wake_threshold = wanted;
}

int SerialDriver::receive_descriptor(FtHandle handle, uint32_t bytes, bool* ready)
{
    if (ready) *ready = false;
    Port* port = find(handle);
    // Nothing to wait on: the next queue look reports the failure.
    if (!port || take_waiting(*port) != FT_OK || port->received.size() >= bytes) {
        if (ready) *ready = true;
        return -1;
    }
    // What is queued now has been taken, so the line wakes a poll once the
    // rest of the reply, or the next 255 bytes of it, have come.
    set_wake_threshold(*port, bytes - uint32_t(port->received.size()));
    return port->fd;
}

bool SerialDriver::wait_receive(FtHandle handle, uint32_t bytes, double seconds)
{
    Clock& clock = system_clock();
    const double deadline = clock.now() + seconds;
    for (;;) {
        bool ready = false;
        const int fd = receive_descriptor(handle, bytes, &ready);
        if (ready || fd < 0) return true;
        const double left = deadline - clock.now();
        if (left <= 0) return true;
        timespec limit{};
        limit.tv_sec = time_t(left);
        limit.tv_nsec = long((left - double(limit.tv_sec)) * 1e9);
        pollfd p{fd, POLLIN, 0};
        const int r = ::ppoll(&p, 1, &limit, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
    }
}

FtStatus SerialDriver::set_usb_parameters(FtHandle handle, uint32_t, uint32_t)
{
    // The kernel driver sizes its own transfers.
    return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FtStatus SerialDriver::set_timeouts(FtHandle handle, uint32_t, uint32_t write_ms)
{
    // Reads never block here; only the write timeout matters.
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    port->write_ms = write_ms;
    return FT_OK;
}

FtStatus SerialDriver::set_baud_rate(FtHandle handle, uint32_t baud)
{
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (speed_of(baud) == B0) return FT_INVALID_BAUD_RATE;
    termios raw{};
    if (!apply_line_settings(port->fd, baud, &raw)) return FT_IO_ERROR;
    port->restore_settings = !same_line(port->system->original, raw);
    port->wake_threshold = raw.c_cc[VMIN];
    baud_[port->path] = baud;
    return FT_OK;
}

} // namespace kv
