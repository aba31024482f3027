#include "link/UsbLink.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace kv {

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
}

// Marks the link busy for the life of one operation.
class UsbLink::Exchange {
public:
    explicit Exchange(UsbLink& link) : link_(link) { link_.busy_ = true; }
    ~Exchange()
    {
        link_.close_handle();
        link_.busy_ = false;
    }

private:
    UsbLink& link_;
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

bool UsbLink::refuse_busy()
{
    if (!busy_) return false;
    say("Pedal link busy: request refused.\n");
    return true;
}

bool UsbLink::open(OpenLine line)
{
    close_handle();
    status_ = driver_.open_by_description(kDescription, &handle_);
    if (status_ != FT_OK) {
        handle_ = 0;
        if (line == OpenLine::WithCode) say("Device FAILED to open, error code : %d \n\n", int(status_));
        else say("Device FAILED to open. \n");
        return false;
    }
    say("Device opened. \n");
    return true;
}

bool UsbLink::write_buffer(uint32_t len)
{
    count_ = 0;
    status_ = driver_.write(handle_, buffer_, len, &count_);
    return status_ == FT_OK && count_ == len;
}

bool UsbLink::read_buffer(uint32_t len)
{
    count_ = 0;
    status_ = driver_.read(handle_, buffer_, len, &count_);
    return status_ == FT_OK && count_ == len;
}

bool UsbLink::send_command(uint32_t len)
{
    count_ = 0;
    status_ = driver_.write(handle_, buffer_, len, &count_);
    return status_ == FT_OK;
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

int UsbLink::failure_code() const
{
    if (status_ != FT_OK) return int(status_);
    if (count_ != 0) return int(count_);
    return kTimeout;
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

bool UsbLink::await_reply(uint32_t len, double limit, const char* timeout_line)
{
    uint32_t received = 0;
    if (!wait_reply(len, limit, received)) return true;
    say("%s", timeout_line);
    say("Number of bytes received : %d \n\n", int(received));
    purge_both();
    return false;
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

// ---------------------------------------------------------------------------

bool UsbLink::setup_device(std::string& serial_out)
{
    if (refuse_busy()) return false;
    Exchange ex(*this);
    close_handle();
    status_ = driver_.open_by_description(kDescription, &handle_);
    if (status_ != FT_OK) {
        handle_ = 0;
        say("FT_OpenEx (open by description) FAILED. Error code %d\n", int(status_));
        return false;
    }
    say("FT_OpenEx (open by description) successful. \n");

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

bool UsbLink::get_pedal_state()
{
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    buffer_[0] = cmd::kGetPedalState;
    if (!send_command(1)) {
        say("Get Pedal State command FAILED, error code : %d\n\n", int(status_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("Get Pedal State command successful (%d bytes written).\n", int(count_));
    if (!await_reply(kPedalStateSize, kReplyLimit, "Get Pedal State TIMEOUT. \n\n")) return false;
    const bool ok = read_buffer(kPedalStateSize);
    if (!ok) {
        say("Get Pedal State FAILED, error code : %d \n\n", int(status_));
        say("Number of bytes read : %d \n\n", int(count_));
    } else {
        say("Get Pedal State successful (%d bytes read).\n\n", int(kPedalStateSize));
    }
    const bool purged = purge_at_end();
    return ok && purged;
}

bool UsbLink::get_globals()
{
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    buffer_[0] = cmd::kGetGlobals;
    if (!send_command(1)) {
        say("Send GET_GLOBALS command FAILED, error code : %d\n\n", int(status_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("Send GET_GLOBALS command successful (%d bytes written).\n", int(count_));
    if (!await_reply(kGlobalsSize, kReplyLimit, "Get Global Conf TIMEOUT. \n\n")) return false;
    if (read_buffer(kGlobalsSize)) {
        say("Get Global Conf successful (%d bytes read).\n\n", int(kGlobalsSize));
        return true;
    }
    say("Get Global Conf FAILED, error code : %d \n\n", int(status_));
    say("Number of bytes read : %d \n\n", int(count_));
    purge_at_end();
    return false;
}

bool UsbLink::set_globals(const uint8_t* block_a, const uint8_t* block_b)
{
    if (!block_a || !block_b) return false;
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    buffer_[0] = cmd::kSetGlobals;
    std::memcpy(buffer_ + 1, block_a, kGlobalsTailSize);
    std::memcpy(buffer_ + 1 + kGlobalsTailSize, block_b, kGlobalsHeadSize);
    if (!write_buffer(kSetGlobalsSize)) {
        say("Send SET_GLOBALS command FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("'Send SET_GLOBALS command sucessful (%d bytes written).\n", int(count_));
    return true;
}

bool UsbLink::set_globals_record(const uint8_t* record)
{
    if (!record) return false;
    return set_globals(record + kGlobalsHeadSize, record);
}

int UsbLink::change_core(const PresetParameters& params)
{
    if (refuse_busy()) return kBusy;
    Exchange ex(*this);
    if (!open(OpenLine::Plain)) return int(status_);
    buffer_[0] = cmd::kChangeCore;
    std::memcpy(buffer_ + 1, params.data(), kPresetParametersSize);
    if (!write_buffer(kChangeCoreSize)) {
        say("Change Core (Preview) FAILED, error code : %d \n", int(status_));
        say("Number of bytes written : %d \n\n", int(count_));
        const int code = failure_code();
        purge_both();
        return code;
    }
    say("Change Core (Preview) successful (%d bytes written).\n", int(count_));
    say("Verification is not done.\n\n");
    return 0;
}

bool UsbLink::read_all(std::span<uint8_t> dest)
{
    if (dest.size() < kPresetImageSize) return false;
    return read_all_common(dest, nullptr, nullptr);
}

bool UsbLink::read_all_to_backup(std::FILE* file, const uint8_t* reference)
{
    if (!file && !reference) return false;
    return read_all_common({}, file, reference);
}

bool UsbLink::read_all_common(std::span<uint8_t> dest, std::FILE* file, const uint8_t* reference)
{
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    progress_value(15);
    progress_redraw();
    buffer_[0] = cmd::kReadAll;
    if (!send_command(1)) {
        say("Write ReadAll command FAILED, error code : %d\n\n", int(status_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("Write ReadAll command sucessful (%d bytes written).\n", int(count_));
    progress_value(30);
    progress_redraw();

    struct Part {
        uint32_t length;
        size_t offset;
        double progress;
    };
    // The parameter blocks in buffer-sized parts, then the titles.
    static constexpr uint32_t kParamsTail = kPresetImageTitlesOffset - 2 * kBufferSize;            // 96
    static constexpr uint32_t kTitles = kPresetImageSize - kPresetImageTitlesOffset;                // 384
    static constexpr Part parts[] = {
        {kBufferSize, 0, 50}, {kBufferSize, kBufferSize, 70}, {kParamsTail, 2 * kBufferSize, 70},
        {kTitles, kPresetImageTitlesOffset, 90},
    };
    bool all_ok = true;
    for (int i = 0; i < 4; ++i) {
        const Part& part = parts[i];
        const bool titles = i == 3;
        if (!await_reply(part.length, kReplyLimit,
                         titles ? "ReadAll (Titles) TIMEOUT. \n\n" : "ReadAll (Params) TIMEOUT. \n\n"))
            return false;
        if (read_buffer(part.length)) {
            if (titles) say("ReadAll (Titles) successful (%d bytes read).\n\n", int(part.length));
            else say("ReadAll (Params) successful (%d bytes read).\n\n", int(part.length));
        } else {
            all_ok = false;
            if (titles) say("ReadAll (Titles) FAILED, error code : %d \n\n", int(status_));
            else say("ReadAll (Params) FAILED, error code : %d \n\n", int(status_));
            say("Number of bytes read : %d \n\n", int(count_));
        }
        if (!dest.empty()) {
            std::memcpy(dest.data() + part.offset, buffer_, part.length);
        } else if (!titles && file) {
            if (std::fwrite(buffer_, 1, part.length, file) != part.length) {
                say("ReadAll (Params - Batch %d) has FAILED writing to backup file!\n", i + 1);
                all_ok = false;
            }
        } else if (!titles) {
            if (std::memcmp(buffer_, reference + part.offset, part.length) != 0) {
                say("ReadBack (Params - Batch %d) has FAILED verification!\n", i + 1);
                all_ok = false;
            }
        }
        progress_value(part.progress);
        progress_redraw();
    }
    const bool purged = purge_at_end();
    return all_ok && purged;
}

int UsbLink::write_data(const DspProgram& block, int dsp)
{
    if (dsp != 0 && dsp != 1) return FT_INVALID_PARAMETER;
    if (refuse_busy()) return kBusy;
    Exchange ex(*this);
    if (!open(OpenLine::Plain)) return int(status_);
    buffer_[0] = dsp == 0 ? cmd::kWriteDataX : cmd::kWriteDataY;
    if (!write_buffer(1)) {
        say("Sending messageId FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        if (count_ != 0) purge_both();
        return kTimeout;
    }
    say("Sending messageId successful (%d bytes written).\n", int(count_));
    uint32_t left = 0;
    if (wait_drain(kReplyLimit, left)) {
        say("Waiting for pedal to receive first packet data TIMEOUT. \n\n");
        purge_both();
        return kTimeout;
    }
    std::memcpy(buffer_, block.data(), kDspProgramSize);
    if (!write_buffer(kDspProgramSize)) {
        say("Write Data (Preview) FAILED, error code : %d \n", int(status_));
        say("Number of bytes written : %d \n\n", int(count_));
        const int code = failure_code();
        purge_both();
        return code;
    }
    say("Write Data (Preview) successful (%d bytes written).\n", int(count_));
    say("Verification is not done.\n\n");
    return 0;
}

int UsbLink::get_arp_data(uint8_t algorithm_index, uint8_t sequence, uint8_t dsp)
{
    if (refuse_busy()) return kBusy;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return int(status_);
    buffer_[0] = cmd::kGetArpData;
    buffer_[1] = algorithm_index;
    buffer_[2] = dsp;
    buffer_[3] = sequence;
    if (!send_command(kGetArpSize)) {
        say("Send GET_ARPDATA command FAILED, error code : %d\n\n", int(status_));
        const int code = int(status_);
        if (count_ != 0) purge_both();
        return code;
    }
    say("Send GET_ARPDATA command successful (%d bytes written).\n", int(count_));
    if (!await_reply(kArpSequenceSize, kReplyLimit, "Get Arp Data TIMEOUT. \n\n")) return kArpTimeout;
    if (read_buffer(kArpSequenceSize)) {
        say("Get Arp Data successful (%d bytes read).\n\n", int(kArpSequenceSize));
        return 0;
    }
    say("Get Arp Data FAILED, error code : %d \n\n", int(status_));
    say("Number of bytes read : %d \n\n", int(count_));
    const int code = failure_code();
    purge_at_end();
    return code;
}

int UsbLink::set_arp_data(uint8_t algorithm_index, uint8_t sequence, uint8_t dsp, uint8_t store, const uint8_t* data)
{
    if (!data) return FT_INVALID_PARAMETER;
    if (refuse_busy()) return kBusy;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return int(status_);
    buffer_[0] = cmd::kSetArpData;
    buffer_[1] = dsp;
    buffer_[2] = store;
    buffer_[3] = algorithm_index;
    buffer_[4] = sequence;
    std::memcpy(buffer_ + 5, data, kArpSequenceSize);
    if (!write_buffer(kSetArpSize)) {
        say("Send SET_ARPDATA command FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        const int code = failure_code();
        purge_both();
        return code;
    }
    say("Send SET_ARPDATA sucessful (%d bytes written).\n", int(count_));
    return 0;
}

bool UsbLink::read_preset(int slot)
{
    if (!slot_valid(slot)) {
        say("Read preset refused: slot %d does not exist.\n", slot);
        return false;
    }
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    progress_value(15);
    progress_redraw();
    buffer_[0] = uint8_t(cmd::kReadPresetFirst | (slot & cmd::kTargetMask));
    if (!send_command(1)) {
        say("Write preset address FAILED, error code : %d\n\n", int(status_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("Write preset address successful (%d bytes written).\n", int(count_));
    progress_value(45);
    progress_redraw();
    if (!await_reply(kPresetRecordSize, kReplyLimit, "Read parameters & title TIMEOUT. \n\n")) return false;
    const bool ok = read_buffer(kPresetRecordSize);
    if (!ok) {
        say("Read parameters & title FAILED, error code : %d \n\n", int(status_));
        say("Number of bytes read : %d \n\n", int(count_));
    } else {
        say("Read parameters & title successful (%d bytes read).\n\n", int(kPresetRecordSize));
        progress_value(75);
        progress_redraw();
    }
    const bool purged = purge_at_end();
    return ok && purged;
}

int UsbLink::store_preset(int slot, const PresetParameters& params, const PresetTitle& title,
                          const DspProgram& program_x, const DspProgram& program_y)
{
    if (!slot_valid(slot)) {
        say("Store preset refused: slot %d does not exist.\n", slot);
        return FT_INVALID_PARAMETER;
    }
    if (refuse_busy()) return kBusy;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return int(status_);
    progress_value(5);
    progress_label("w o r k i n g ...");
    progress_redraw();

    buffer_[0] = uint8_t(cmd::kStorePresetFirst | (slot & cmd::kTargetMask));
    std::memcpy(buffer_ + 1, params.data(), kPresetParametersSize);
    std::memcpy(buffer_ + 1 + kPresetParametersSize, title.text, kPresetTitleSize);
    const uint32_t header = kStoreHeaderSize;
    if (!write_buffer(header)) {
        say("Sending parameters & title data FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        const int code = failure_code();
        if (count_ != 0) purge_both();
        return code;
    }
    say("Sending parameters & title data successful (%d bytes written).\n", int(count_));
    progress_value(25);
    progress_redraw();

    uint32_t left = 0;
    if (wait_drain(kReplyLimit, left)) {
        say("Waiting for pedal to receive transmitted parameters & title data TIMEOUT. \n\n");
        say("Number of transmitted bytes get read : %d \n\n", int(header) - int(std::min(left, header)));
        purge_both();
        return kTimeout;
    }

    pause(kStorePause, true);

    bool mismatch = false;
    const DspProgram* programs[2] = {&program_x, &program_y};
    for (int e = 0; e < 2; ++e) {
        const bool x = e == 0;
        std::memcpy(buffer_, programs[e]->data(), kDspProgramSize);
        if (!write_buffer(kDspProgramSize)) {
            say(x ? "Write (Store) X-Data FAILED, error code : %d \n" : "Write (Store) Y-Data FAILED, error code : %d \n",
                int(status_));
            say("Number of bytes written : %d \n\n", int(count_));
            const int code = failure_code();
            purge_both();
            return code;
        }
        say(x ? "Write (Store) X-Data successful (%d bytes written).\n"
              : "Write (Store) Y-Data successful (%d bytes written).\n",
            int(count_));
        progress_value(x ? 50 : 75);
        progress_redraw();

        if (!await_reply(kDspProgramSize, kEchoLimit,
                         x ? "Read X-Data back (verification) TIMEOUT. \n\n"
                           : "Read Y-Data back (verification) TIMEOUT. \n\n"))
            return kTimeout;
        if (!read_buffer(kDspProgramSize)) {
            say(x ? "Read X-Data back FAILED, error code : %d \n" : "Read Y-Data back FAILED, error code : %d \n",
                int(status_));
            say("Number of bytes read : %d \n\n", int(count_));
            return failure_code();
        }
        if (std::memcmp(buffer_, programs[e]->data(), kDspProgramSize) != 0) {
            if (x) say("Errors detected in DSP-X data transfer. \n\n");
            mismatch = true;
        }
    }
    progress_value(100);
    progress_redraw();
    return mismatch ? kMismatch : 0;
}

bool UsbLink::write_library_block(int block, const uint8_t* data)
{
    if (!data) return false;
    if (block < 0 || block >= kLibraryBlocks) {
        say("Library block %d refused: out of range.\n", block);
        return false;
    }
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    buffer_[0] = uint8_t(cmd::kLibraryBlockFirst | (block & cmd::kTargetMask));
    if (!write_buffer(1)) {
        say("Sending address FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("Sending address successful (%d bytes written).\n", int(count_));
    uint32_t left = 0;
    if (wait_drain(kReplyLimit, left)) {
        say("Waiting for pedal to receive transmitted address data TIMEOUT. \n\n");
        purge_both();
        return false;
    }
    std::memcpy(buffer_, data, kLibraryBlockSize);
    if (!write_buffer(kLibraryBlockSize)) {
        say("Write Algo Library data FAILED, error code : %d \n", int(status_));
        say("Number of bytes written : %d \n\n", int(count_));
        purge_both();
        return false;
    }
    say("Write Algo Library data successful (%d bytes written).\n", int(count_));
    if (!await_reply(kLibraryBlockSize, kEchoLimit, "Read Back (verification) TIMEOUT. \n\n")) return false;
    // A short echo leaves part of the sent block in the buffer, where it
    // would pass the caller's comparison: only a whole echo counts.
    if (read_buffer(kLibraryBlockSize)) {
        say("Read Back successful (%d bytes read).\n", int(kLibraryBlockSize));
        return true;
    }
    say("Read Back FAILED, error code : %d \n", int(status_));
    say("Number of bytes read : %d \n\n", int(count_));
    return false;
}

int UsbLink::write_firmware_page(uint16_t address, const uint8_t* data)
{
    if (!data) return FT_INVALID_PARAMETER;
    if (refuse_busy()) return kBusy;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return int(status_);
    buffer_[0] = cmd::kFirmwarePage;
    buffer_[1] = uint8_t(address & 0xFF);
    buffer_[2] = uint8_t(address >> 8);
    if (!write_buffer(kFirmwareAddressSize)) {
        say("Sending command-ID and page address FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        const int code = failure_code();
        if (count_ != 0) purge_both();
        return code;
    }
    say("Sending command-ID and page address successful (%d bytes written).\n", int(count_));
    uint32_t left = 0;
    if (wait_drain(kReplyLimit, left)) {
        say("Waiting for pedal to receive command & page-address data TIMEOUT. \n\n");
        purge_both();
        return kTimeout;
    }
    std::memcpy(buffer_, data, kFirmwarePageSize);
    if (!write_buffer(kFirmwarePageSize)) {
        say("Sending page data FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        const int code = failure_code();
        if (count_ != 0) purge_both();
        return code;
    }
    say("Sending page data successful (%d bytes written).\n", int(count_));
    if (!await_reply(kFirmwarePageSize, kReplyLimit, "Reading back verification status TIMEOUT. \n\n"))
        return kTimeout;
    if (!read_buffer(kFirmwarePageSize)) {
        say("Reading back page data FAILED, error code : %d \n", int(status_));
        say("Number of bytes read : %d \n\n", int(count_));
        return failure_code();
    }
    say("Reading back page data successful (%d bytes read).\n\n", int(kFirmwarePageSize));
    return 0;
}

bool UsbLink::set_version(uint8_t version, uint8_t patch)
{
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    buffer_[0] = cmd::kSetVersion;
    buffer_[1] = version;
    buffer_[2] = patch;
    if (!write_buffer(kSetVersionSize)) {
        say("Set Version command FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("Set Version sucessful (%d bytes written).\n", int(count_));
    return true;
}

bool UsbLink::send_one_message()
{
    if (refuse_busy()) return false;
    Exchange ex(*this);
    if (!open(OpenLine::WithCode)) return false;
    buffer_[0] = cmd::kSendOneMessage;
    if (!write_buffer(1)) {
        say("'Send One Message' command FAILED, error code : %d \n", int(status_));
        say("Number of bytes get written : %d \n\n", int(count_));
        if (count_ != 0) purge_both();
        return false;
    }
    say("'Send One Message' command sucessful (%d bytes written).\n", int(count_));
    return true;
}

} // namespace kv
