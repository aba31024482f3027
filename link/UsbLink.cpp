#include "link/UsbLink.h"

#include "link/ConsoleTexts.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace kv {

using namespace console;

static_assert(UsbLink::kBufferSize >= kDspProgramSize && UsbLink::kBufferSize >= kStoreHeaderSize &&
              UsbLink::kBufferSize >= kFirmwarePageSize && UsbLink::kBufferSize >= kSetArpSize);

namespace {
constexpr double kReplyLimit = 1.0;     // seconds for a reply or a transmit drain
constexpr double kEchoLimit = 2.0;      // seconds for the echo of a 512-byte block
constexpr double kStorePause = 0.005;   // between a store header and its first program
constexpr double kTick = 0.001;         // a look at the queues when nothing better can wake us
// Added to a wait that runs up to a deadline, so that the look after it
// finds the deadline passed (it counts only once strictly exceeded).
constexpr double kPastDeadline = 0.0001;

// How a request's write counts as done.
enum class Write {
    whole,    // every byte accepted
    status,   // the driver reported no error (the reply wait sees the rest)
};
// When the queues are emptied after a failed write.
enum class Purge { never, if_moved, always };
// The purge that ends an exchange, once its reply has been read.
enum class EndPurge { none, always, after_short_read };
} // namespace

// One request of a command. Its bytes are in the link's buffer when it runs.
struct LinkRequest {
    const Lines& lines;
    uint32_t out = 0;   // request bytes (0: nothing written)
    Write write = Write::whole;
    Purge on_write_failure = Purge::if_moved;
    bool drain = false;           // wait for the transmit queue to empty
    double pause = 0;             // then pause, taking events
    uint32_t reply = 0;           // reply bytes (0: none)
    double limit = kReplyLimit;   // for the reply
    EndPurge end = EndPurge::none;
    double progress_written = -1;   // progress once the request is out
    double progress_read = -1;      // once the reply is read whole
};

int link_code(const LinkResult& r, int timeout_code)
{
    switch (r.status) {
    case LinkStatus::ok: return 0;
    case LinkStatus::timeout: return timeout_code;
    case LinkStatus::echo_mismatch: return UsbLink::kMismatch;
    case LinkStatus::busy: return UsbLink::kBusy;
    case LinkStatus::refused: return FT_INVALID_PARAMETER;
    default: break;
    }
    if (r.driver != FT_OK) return int(r.driver);
    if (r.bytes != 0) return int(r.bytes);
    // A step that moved nothing and reported no error is no success either.
    return UsbLink::kTimeout;
}

const char* link_status_name(LinkStatus status)
{
    switch (status) {
    case LinkStatus::ok: return "ok";
    case LinkStatus::busy: return "busy";
    case LinkStatus::refused: return "refused";
    case LinkStatus::open_failed: return "open_failed";
    case LinkStatus::in_use: return "in_use";
    case LinkStatus::write_failed: return "write_failed";
    case LinkStatus::timeout: return "timeout";
    case LinkStatus::short_reply: return "short_reply";
    case LinkStatus::echo_mismatch: return "echo_mismatch";
    case LinkStatus::vanished: return "vanished";
    case LinkStatus::purge_failed: return "purge_failed";
    case LinkStatus::rejected: return "rejected";
    }
    return "?";
}

std::string in_use_text(int holder_pid)
{
    if (holder_pid > 0) return "The pedal is in use by another program (pid " + std::to_string(holder_pid) + ").";
    return "The pedal is in use by another program.";
}

// One exchange from the outside: refused while another runs, else marks the
// link busy, opens the port (or takes the one a hold keeps open) and, at its
// end, closes it unless a hold keeps it.
class UsbLink::Exchange {
public:
    Exchange(UsbLink& link, OpenLine line) : link_(link)
    {
        if (link_.busy_) {
            // The running exchange keeps its own result.
            link_.say("Pedal link busy: request refused.\n");
            return;
        }
        link_.busy_ = true;
        owner_ = true;
        opened_ = link_.open(line);
    }
    ~Exchange()
    {
        if (!owner_) return;
        if (!link_.held()) link_.close_handle();
        link_.busy_ = false;
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    bool opened() const { return opened_; }
    // Why the exchange did not start.
    LinkResult failure() const
    {
        if (!owner_) return {LinkStatus::busy, FT_OTHER_ERROR, 0, 0};
        return link_.result_;
    }

private:
    UsbLink& link_;
    bool owner_ = false;
    bool opened_ = false;
};

UsbLink::UsbLink(FtDriver& driver, Clock& clock) : driver_(driver), clock_(clock), stopwatch_(clock)
{
}

UsbLink::~UsbLink()
{
    if (handle_ != 0) driver_.close(handle_);
}

void UsbLink::set_event_pump(EventPump pump) { pump_ = std::move(pump); }

void UsbLink::set_waiter(Waiter waiter) { waiter_ = std::move(waiter); }

void UsbLink::set_console(Console console) { console_ = std::move(console); }

void UsbLink::progress_value(double v)
{
    if (progress_sink_) progress_sink_->set_value(v);
}

void UsbLink::progress_label(const std::string& label)
{
    if (progress_sink_) progress_sink_->set_label(label);
}

void UsbLink::progress_redraw()
{
    if (progress_sink_) progress_sink_->redraw();
}

void UsbLink::say(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize(size_t(n));   // vsnprintf's terminator lands on the string's own
        std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    }
    va_end(args);
    if (console_) {
        console_(text);
    } else {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }
}

void UsbLink::idle(const LinkWait& wait)
{
    if (pump_) pump_();
    else if (waiter_) waiter_(wait);
    else wait_plain(wait);
}

void UsbLink::wait_plain(const LinkWait& wait)
{
    const double seconds = std::max(wait.seconds, 0.0);
    if (wait.kind == LinkWait::Kind::Reply) {
        if (!driver_.wait_receive(handle_, wait.bytes, seconds)) clock_.sleep(std::min(seconds, kTick));
        return;
    }
    clock_.sleep(seconds);
}

void UsbLink::pause(double seconds, bool process_events)
{
    Stopwatch sw(clock_);
    sw.restart();
    while (!sw.exceeded(seconds)) {
        const double left = std::max(seconds - sw.elapsed(), 0.0) + kPastDeadline;
        if (process_events) idle({LinkWait::Kind::Pause, 0, left});
        else clock_.sleep(left);
    }
}

void UsbLink::close_handle()
{
    if (handle_ != 0) {
        driver_.close(handle_);
        handle_ = 0;
    }
}

void UsbLink::release()
{
    if (--holds_ > 0) return;
    holds_ = 0;
    in_use_told_ = false;
    if (!busy_) close_handle();
}

const LinkResult& UsbLink::fail(LinkStatus status, uint32_t bytes)
{
    // A port that went away is told as such, whatever step found it.
    if (status_ == FT_IO_ERROR && status != LinkStatus::timeout) status = LinkStatus::vanished;
    result_ = {status, status_, bytes, 0};
    return result_;
}

const LinkResult& UsbLink::refuse(LinkStatus status)
{
    result_ = {status, status == LinkStatus::busy ? FtStatus(FT_OTHER_ERROR) : FtStatus(FT_INVALID_PARAMETER), 0, 0};
    return result_;
}

bool UsbLink::open(OpenLine line)
{
    result_ = {};
    if (handle_ != 0 && held()) {
        // Kept open by the hold. Nothing from before this exchange may be
        // taken for its answer: only what came in is dropped, so a request
        // the pedal has not picked up yet still reaches it.
        uint32_t queued = 0;
        status_ = driver_.get_queue_status(handle_, &queued);
        if (status_ == FT_OK && queued != 0) status_ = driver_.purge(handle_, FT_PURGE_RX);
        if (status_ == FT_OK) {
            say(line == OpenLine::SetUp ? "FT_OpenEx (open by description) successful. \n" : "Device opened. \n");
            return true;
        }
        close_handle();   // gone since the last exchange: look for it again
    }
    close_handle();
    status_ = driver_.open_by_description(kDescription, &handle_);
    if (status_ != FT_OK) {
        handle_ = 0;
        switch (line) {
        case OpenLine::WithCode: say("Device FAILED to open, error code : %d \n\n", int(status_)); break;
        case OpenLine::Plain: say("Device FAILED to open. \n"); break;
        case OpenLine::SetUp: say("FT_OpenEx (open by description) FAILED. Error code %d\n", int(status_)); break;
        }
        result_ = {LinkStatus::open_failed, status_, 0, 0};
        if (const int pid = driver_.port_holder(); pid != 0) {
            result_.status = LinkStatus::in_use;
            result_.holder_pid = pid > 0 ? pid : 0;
            if (!in_use_told_ && in_use_notice_) in_use_notice_(result_);
            in_use_told_ = held();
        }
        return false;
    }
    say(line == OpenLine::SetUp ? "FT_OpenEx (open by description) successful. \n" : "Device opened. \n");
    return true;
}

bool UsbLink::purge_both()
{
    status_ = driver_.purge(handle_, FT_PURGE_RX | FT_PURGE_TX);
    return status_ == FT_OK;
}

bool UsbLink::purge_at_end()
{
    const bool purged = purge_both();
    if (!purged) say("Purging buffers FAILED.\n\n");
    return purged;
}

bool UsbLink::wait_reply(uint32_t len, double limit, uint32_t& received)
{
    received = 0;
    stopwatch_.restart();
    while (received < len) {
        if (stopwatch_.exceeded(limit)) break;
        uint32_t queued = 0;
        status_ = driver_.get_queue_status(handle_, &queued);
        // A port that has gone away ends the wait; the read reports it.
        if (status_ != FT_OK) break;
        received = queued;
        if (received >= len) break;
        idle({LinkWait::Kind::Reply, len, limit - stopwatch_.elapsed() + kPastDeadline});
    }
    return stopwatch_.exceeded(limit);
}

bool UsbLink::wait_drain(double limit, uint32_t& left)
{
    left = 1;
    stopwatch_.restart();
    while (left != 0) {
        if (stopwatch_.exceeded(limit)) break;
        uint32_t rx = 0;
        uint32_t events = 0;
        status_ = driver_.get_status(handle_, &rx, &left, &events);
        // A port that has gone away ends the wait; the next write reports it.
        if (status_ != FT_OK || left == 0) break;
        // The queue empties at the line rate: look again when it should have.
        const double drained = double(left) / kWireBytesPerSecond;
        idle({LinkWait::Kind::Drain, left, std::min(limit - stopwatch_.elapsed() + kPastDeadline, drained)});
    }
    return stopwatch_.exceeded(limit);
}

const LinkResult& UsbLink::exchange(const LinkRequest& rq)
{
    const Lines& l = rq.lines;
    result_ = {};
    if (rq.out > 0) {
        count_ = 0;
        status_ = driver_.write(handle_, buffer_, rq.out, &count_);
        if (status_ != FT_OK || (rq.write == Write::whole && count_ != rq.out)) {
            say(l.write_failed, int(status_));
            if (l.written_count) say(l.written_count, int(count_));
            fail(LinkStatus::write_failed, count_);
            if (rq.on_write_failure == Purge::always || (rq.on_write_failure == Purge::if_moved && count_ != 0))
                purge_both();
            return result_;
        }
        say(l.write_ok, int(count_));
        if (l.write_note) say("%s", l.write_note);
        result_.bytes = count_;
        if (rq.progress_written >= 0) {
            progress_value(rq.progress_written);
            progress_redraw();
        }
    }
    if (rq.drain) {
        uint32_t left = 0;
        if (wait_drain(kReplyLimit, left)) {
            say("%s", l.drain_timeout);
            if (l.drained_count) say(l.drained_count, int(rq.out) - int(std::min(left, rq.out)));
            fail(LinkStatus::timeout, left);
            purge_both();
            return result_;
        }
    }
    if (rq.pause > 0) pause(rq.pause, true);
    if (rq.reply == 0) return result_;

    uint32_t received = 0;
    if (wait_reply(rq.reply, rq.limit, received)) {
        say("%s", l.reply_timeout);
        say("Number of bytes received : %d \n\n", int(received));
        fail(LinkStatus::timeout, received);
        purge_both();
        return result_;
    }
    count_ = 0;
    status_ = driver_.read(handle_, buffer_, rq.reply, &count_);
    const bool whole = status_ == FT_OK && count_ == rq.reply;
    if (!whole) {
        say(l.read_failed, int(status_));
        say("Number of bytes read : %d \n\n", int(count_));
        fail(LinkStatus::short_reply, count_);
    } else {
        if (l.read_ok) say(l.read_ok, int(rq.reply));
        result_.bytes = count_;
        if (rq.progress_read >= 0) {
            progress_value(rq.progress_read);
            progress_redraw();
        }
    }
    if (rq.end == EndPurge::always || (rq.end == EndPurge::after_short_read && !whole)) {
        if (!purge_at_end() && whole) fail(LinkStatus::purge_failed, count_);
    }
    return result_;
}

// ---------------------------------------------------------------------------

bool UsbLink::setup_device(std::string& serial_out)
{
    Exchange ex(*this, OpenLine::SetUp);
    if (!ex.opened()) return false;

    uint32_t devices = 0;
    driver_.create_device_info_list(&devices);
    bool found = false;
    FtDeviceInfo pedal;
    for (uint32_t i = 0; i < devices; ++i) {
        FtDeviceInfo info;
        FtHandle listed = 0;
        if (driver_.get_device_info_detail(i, &info, &listed) != FT_OK) continue;
        // The device opened above, not merely the first one of that name: a
        // stale or unreachable entry listed earlier must not lend the pedal
        // its serial number.
        if (info.description == kDescription && listed == handle_ && handle_ != 0) {
            pedal = info;
            found = true;
            break;
        }
    }
    if (!found) return true;   // closed on the way out; serial_out untouched

    serial_out = pedal.serial_number;
    const FtStatus a = driver_.set_usb_parameters(handle_, 512, 0);
    const FtStatus b = driver_.set_timeouts(handle_, 500, 1000);
    const FtStatus c = driver_.set_baud_rate(handle_, kWireBaud);
    const FtStatus d = driver_.purge(handle_, FT_PURGE_RX | FT_PURGE_TX);
    status_ = d;
    if (a == FT_OK && b == FT_OK && c == FT_OK && d == FT_OK)
        say("USB Parameters, Timeouts, and Baud-rate setups successful. \n");
    else
        say("USB Parameters, Timeouts, and Baud-rate setups FAILED. \n");
    return true;
}

std::optional<PedalState> UsbLink::get_pedal_state()
{
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return std::nullopt;
    buffer_[0] = cmd::kGetPedalState;
    if (!exchange({.lines = kPedalStateLines, .out = 1, .write = Write::status, .reply = kPedalStateSize,
                   .end = EndPurge::always})
             .ok())
        return std::nullopt;
    return PedalState{buffer_[0], buffer_[1]};
}

std::optional<GlobalsRecord> UsbLink::get_globals()
{
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return std::nullopt;
    buffer_[0] = cmd::kGetGlobals;
    if (!exchange({.lines = kGetGlobalsLines, .out = 1, .write = Write::status, .reply = kGlobalsSize,
                   .end = EndPurge::after_short_read})
             .ok())
        return std::nullopt;
    return GlobalsRecord::from_wire(buffer_);
}

bool UsbLink::set_globals(const uint8_t* block_a, const uint8_t* block_b)
{
    if (!block_a || !block_b) return refuse(LinkStatus::refused).ok();
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return false;
    buffer_[0] = cmd::kSetGlobals;
    std::memcpy(buffer_ + 1, block_a, kGlobalsTailSize);
    std::memcpy(buffer_ + 1 + kGlobalsTailSize, block_b, kGlobalsHeadSize);
    return exchange({.lines = kSetGlobalsLines, .out = kSetGlobalsSize}).ok();
}

bool UsbLink::set_globals_record(const uint8_t* record)
{
    if (!record) return refuse(LinkStatus::refused).ok();
    return set_globals(record + kGlobalsHeadSize, record);
}

LinkResult UsbLink::change_core(const PresetParameters& params)
{
    Exchange ex(*this, OpenLine::Plain);
    if (!ex.opened()) return ex.failure();
    buffer_[0] = cmd::kChangeCore;
    std::memcpy(buffer_ + 1, params.data(), kPresetParametersSize);
    return exchange({.lines = kChangeCoreLines, .out = kChangeCoreSize, .on_write_failure = Purge::always});
}

bool UsbLink::read_all(std::span<uint8_t> dest, const PartCheck& check)
{
    if (dest.size() < kPresetImageSize) return refuse(LinkStatus::refused).ok();
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return false;
    progress_value(15);
    progress_redraw();
    buffer_[0] = cmd::kReadAll;
    if (!exchange({.lines = kReadAllLines, .out = 1, .write = Write::status, .progress_written = 30}).ok())
        return false;

    struct Part {
        uint32_t length;
        size_t offset;
        double progress;
    };
    // The parameter blocks in buffer-sized parts, then the titles.
    static constexpr uint32_t kParamsTail = kPresetImageTitlesOffset - 2 * kBufferSize;   // 96
    static constexpr uint32_t kTitles = kPresetImageSize - kPresetImageTitlesOffset;       // 384
    static constexpr Part parts[] = {
        {kBufferSize, 0, 50},
        {kBufferSize, kBufferSize, 70},
        {kParamsTail, 2 * kBufferSize, 70},
        {kTitles, kPresetImageTitlesOffset, 90},
    };
    LinkResult first_failure;
    for (int i = 0; i < 4; ++i) {
        const Part& part = parts[i];
        const bool titles = i == 3;
        const LinkResult& got =
            exchange({.lines = titles ? kReadAllTitlesLines : kReadAllParamsLines, .reply = part.length,
                      .end = titles ? EndPurge::always : EndPurge::none});
        if (got.status == LinkStatus::timeout) return false;
        if (!got.ok() && first_failure.ok()) first_failure = got;
        std::memcpy(dest.data() + part.offset, buffer_, part.length);
        if (!titles && check && !check(i + 1, std::span<const uint8_t>(buffer_, part.length)) && first_failure.ok())
            first_failure = {LinkStatus::rejected, FT_OK, part.length, 0};
        progress_value(part.progress);
        progress_redraw();
    }
    if (!first_failure.ok() && result_.ok()) result_ = first_failure;
    return result_.ok();
}

LinkResult UsbLink::write_data(const DspProgram& block, int dsp)
{
    if (dsp != 0 && dsp != 1) return refuse(LinkStatus::refused);
    Exchange ex(*this, OpenLine::Plain);
    if (!ex.opened()) return ex.failure();
    buffer_[0] = dsp == 0 ? cmd::kWriteDataX : cmd::kWriteDataY;
    // A message identifier that did not get out counts as the pedal not
    // taking data: a timeout.
    if (!exchange({.lines = kMessageIdLines, .out = 1, .drain = true}).ok()) {
        if (result_.status == LinkStatus::write_failed || result_.status == LinkStatus::vanished)
            result_.status = LinkStatus::timeout;
        return result_;
    }
    std::memcpy(buffer_, block.data(), kDspProgramSize);
    return exchange({.lines = kWriteDataLines, .out = kDspProgramSize, .on_write_failure = Purge::always});
}

LinkResult UsbLink::get_arp_data(uint8_t algorithm_index, uint8_t sequence, uint8_t dsp, ArpSequence* out)
{
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return ex.failure();
    buffer_[0] = cmd::kGetArpData;
    buffer_[1] = algorithm_index;
    buffer_[2] = dsp;
    buffer_[3] = sequence;
    const LinkResult& got = exchange({.lines = kGetArpLines, .out = kGetArpSize, .write = Write::status,
                                      .reply = kArpSequenceSize, .end = EndPurge::after_short_read});
    if (got.ok() && out) *out = ArpSequence::from_bytes(buffer_, kArpSequenceSize);
    return got;
}

LinkResult UsbLink::set_arp_data(uint8_t algorithm_index, uint8_t sequence, uint8_t dsp, uint8_t store, const uint8_t* data)
{
    if (!data) return refuse(LinkStatus::refused);
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return ex.failure();
    buffer_[0] = cmd::kSetArpData;
    buffer_[1] = dsp;
    buffer_[2] = store;
    buffer_[3] = algorithm_index;
    buffer_[4] = sequence;
    std::memcpy(buffer_ + 5, data, kArpSequenceSize);
    return exchange({.lines = kSetArpLines, .out = kSetArpSize, .on_write_failure = Purge::always});
}

std::optional<PresetRecord> UsbLink::read_preset(int slot)
{
    if (!slot_valid(slot)) {
        say("Read preset refused: slot %d does not exist.\n", slot);
        refuse(LinkStatus::refused);
        return std::nullopt;
    }
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return std::nullopt;
    progress_value(15);
    progress_redraw();
    buffer_[0] = uint8_t(cmd::kReadPresetFirst | (slot & cmd::kTargetMask));
    if (!exchange({.lines = kReadPresetLines, .out = 1, .write = Write::status, .reply = kPresetRecordSize,
                   .end = EndPurge::always, .progress_written = 45, .progress_read = 75})
             .ok())
        return std::nullopt;
    return record_from_bytes(buffer_);
}

LinkResult UsbLink::store_preset(int slot, const PresetParameters& params, const PresetTitle& title,
                          const DspProgram& program_x, const DspProgram& program_y)
{
    if (!slot_valid(slot)) {
        say("Store preset refused: slot %d does not exist.\n", slot);
        return refuse(LinkStatus::refused);
    }
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return ex.failure();
    progress_value(5);
    progress_label("w o r k i n g ...");
    progress_redraw();

    buffer_[0] = uint8_t(cmd::kStorePresetFirst | (slot & cmd::kTargetMask));
    std::memcpy(buffer_ + 1, params.data(), kPresetParametersSize);
    std::memcpy(buffer_ + 1 + kPresetParametersSize, title.text, kPresetTitleSize);
    if (!exchange({.lines = kStoreHeaderLines, .out = kStoreHeaderSize, .drain = true, .pause = kStorePause,
                   .progress_written = 25})
             .ok())
        return result_;

    bool mismatch = false;
    const DspProgram* programs[2] = {&program_x, &program_y};
    for (int e = 0; e < 2; ++e) {
        std::memcpy(buffer_, programs[e]->data(), kDspProgramSize);
        if (!exchange({.lines = kStoreProgramLines[e], .out = kDspProgramSize, .on_write_failure = Purge::always,
                       .reply = kDspProgramSize, .limit = kEchoLimit, .progress_written = e == 0 ? 50.0 : 75.0})
                 .ok())
            return result_;
        if (std::memcmp(buffer_, programs[e]->data(), kDspProgramSize) != 0) {
            if (e == 0) say("Errors detected in DSP-X data transfer. \n\n");
            mismatch = true;
        }
    }
    progress_value(100);
    progress_redraw();
    if (mismatch) result_ = {LinkStatus::echo_mismatch, FT_OK, uint32_t(kDspProgramSize), 0};
    return result_;
}

bool UsbLink::write_library_block(int block, const uint8_t* data, LibraryBlock* echo)
{
    if (!data) return refuse(LinkStatus::refused).ok();
    if (block < 0 || block >= kLibraryBlocks) {
        say("Library block %d refused: out of range.\n", block);
        return refuse(LinkStatus::refused).ok();
    }
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return false;
    buffer_[0] = uint8_t(cmd::kLibraryBlockFirst | (block & cmd::kTargetMask));
    if (!exchange({.lines = kLibraryAddressLines, .out = 1, .drain = true}).ok()) return false;
    std::memcpy(buffer_, data, kLibraryBlockSize);
    // A short echo leaves part of the sent block in the buffer, where it
    // would pass the caller's comparison: only a whole echo is handed out.
    const bool whole = exchange({.lines = kLibraryBlockLines, .out = kLibraryBlockSize,
                                 .on_write_failure = Purge::always, .reply = kLibraryBlockSize, .limit = kEchoLimit})
                           .ok();
    if (whole && echo) std::memcpy(echo->data(), buffer_, kLibraryBlockSize);
    return whole;
}

LinkResult UsbLink::write_firmware_page(uint16_t address, const uint8_t* data, FirmwarePage* echo)
{
    if (!data) return refuse(LinkStatus::refused);
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return ex.failure();
    buffer_[0] = cmd::kFirmwarePage;
    buffer_[1] = uint8_t(address & 0xFF);
    buffer_[2] = uint8_t(address >> 8);
    if (!exchange({.lines = kFirmwareAddressLines, .out = kFirmwareAddressSize, .drain = true}).ok())
        return result_;
    std::memcpy(buffer_, data, kFirmwarePageSize);
    const LinkResult r = exchange({.lines = kFirmwarePageLines, .out = kFirmwarePageSize, .reply = kFirmwarePageSize});
    if (r.ok() && echo) std::memcpy(echo->data(), buffer_, kFirmwarePageSize);
    return r;
}

bool UsbLink::set_version(uint8_t version, uint8_t patch)
{
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return false;
    buffer_[0] = cmd::kSetVersion;
    buffer_[1] = version;
    buffer_[2] = patch;
    return exchange({.lines = kSetVersionLines, .out = kSetVersionSize}).ok();
}

bool UsbLink::send_one_message()
{
    Exchange ex(*this, OpenLine::WithCode);
    if (!ex.opened()) return false;
    buffer_[0] = cmd::kSendOneMessage;
    return exchange({.lines = kSendOneMessageLines, .out = 1}).ok();
}

} // namespace kv
