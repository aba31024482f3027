#pragma once
// The pedal link: every command the program sends to the pedal. A command is
// one exchange on the USB-serial bridge: open the port, write the request,
// wait for the reply while the program stays alive, read, clean up, close.
// While an operation holds the link (hold()), the port is opened once, on the
// first exchange, stays open and locked against other programs, and closes
// when the hold ends; the console lines are the same either way.
//
// The link has one 512-byte buffer shared by every request and reply; the
// last reply stays there (the echoes of library blocks and firmware pages are
// compared from it; every other answer is returned typed). Every step is
// reported on the console sink (standard output by default), long transfers
// move the progress sink, and the waits go through the waiter, which wakes
// when the data comes. This core never sees the toolkit: KV_UsbController
// (link/ui/) adds the progress indicator and a waiter that runs the toolkit.
//
// Results: every exchange says what happened as a LinkResult (also kept as
// last_result()), with the driver status and the byte count beside it, never
// in one integer. Reads return their answer typed (empty unless it came
// whole) or bool. Where the window and the command line need the protocol's
// integers (0 success, 100 timeout or 1 for Get Arp Data, 255 echo mismatch,
// else the driver status or the short count), link_code() makes them.

#include "link/FtDriver.h"
#include "link/PedalWire.h"
#include "link/Stopwatch.h"
#include "platform/Clock.h"
#include "preset/PresetRecord.h"
#include "settings/GlobalsRecord.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kv {

struct LinkRequest;   // one request of a command, as the link's table gives it

// What one exchange came to.
enum class LinkStatus {
    ok,
    busy,            // another exchange of this link was still running
    refused,         // an argument out of range (slot, block, engine): nothing sent
    open_failed,     // the bridge could not be opened
    in_use,          // another program holds the port (LinkResult::holder_pid)
    write_failed,    // the driver failed or took fewer bytes than asked
    timeout,         // the reply or the transmit drain missed its deadline
    short_reply,     // the read failed or delivered fewer bytes than the reply
    echo_mismatch,   // an echo came back whole but differed from what was sent
    vanished,        // the port went away during the exchange
    purge_failed,    // the reply came whole, but the queues could not be emptied
    rejected,        // the caller's check of a part turned it down (Read All)
};

struct LinkResult {
    LinkStatus status = LinkStatus::ok;
    FtStatus driver = FT_OK;   // status of the driver call that failed (FT_OK when none did)
    uint32_t bytes = 0;        // bytes moved by the step that ended the exchange
    int holder_pid = 0;        // in_use: the program that holds the port, 0 when unknown

    bool ok() const { return status == LinkStatus::ok; }
};

// The protocol's integer for a result: 0 ok, timeout_code for a timeout, 255
// for an echo mismatch, FT_OTHER_ERROR when busy, otherwise the driver status,
// else the byte count, else 100 (a step that moved nothing).
int link_code(const LinkResult& result, int timeout_code = 100);
// "ok", "timeout", ... for logs and tests.
const char* link_status_name(LinkStatus status);
// "The pedal is in use by another program (pid N)."
std::string in_use_text(int holder_pid);

// Get Pedal State's answer.
struct PedalState {
    uint8_t firmware_version = 0;   // major in the high nibble, minor in the low one
    uint8_t pedal_mode = 0;         // bit 7 set: normal operation; bits 0..6 the patch
};

// Where the link shows how far a long transfer has come.
class LinkProgress {
public:
    virtual ~LinkProgress() = default;
    virtual void set_value(double value) = 0;   // 0 to 100
    virtual void set_label(const std::string& label) = 0;
    virtual void redraw() = 0;
};

// One wait inside an exchange, as the link hands it to its waiter.
struct LinkWait {
    enum class Kind {
        Reply,   // for `bytes` in the receive queue
        Drain,   // for the transmit queue to empty; `bytes` are still in it
        Pause,   // a fixed pause that lets the program take events
    };
    Kind kind = Kind::Reply;
    uint32_t bytes = 0;
    double seconds = 0;   // the longest this wait may take; it may end sooner
};

class UsbLink {
public:
    using Console = std::function<void(const std::string&)>;
    using EventPump = std::function<void()>;
    using Waiter = std::function<void(const LinkWait&)>;

    static constexpr const char* kDescription = kPedalDescription;
    // Room for the largest single transfer (a program or library block).
    static constexpr size_t kBufferSize = kLibraryBlockSize;

    // Result codes shared by the integer operations.
    static constexpr int kTimeout = 100;
    static constexpr int kArpTimeout = 1;
    static constexpr int kMismatch = 255;
    // An operation asked for while another exchange is still waiting.
    static constexpr int kBusy = FT_OTHER_ERROR;

    explicit UsbLink(FtDriver& driver, Clock& clock = system_clock());

    // Keeps the port open and locked from the first exchange on until the
    // last Hold ends (holds nest). An operation holds the link for its whole
    // run, so that no other program gets between its exchanges.
    class Hold {
    public:
        explicit Hold(UsbLink& link) : link_(&link) { ++link_->holds_; }
        ~Hold() { link_->release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        UsbLink* link_;
    };
    [[nodiscard]] Hold hold() { return Hold(*this); }
    bool held() const { return holds_ > 0; }

    // Called once per hold (once per exchange without one) when the port is
    // held by another program; the window writes it on its board, the
    // command line on standard error.
    using InUseNotice = std::function<void(const LinkResult&)>;
    void set_in_use_notice(InUseNotice notice) { in_use_notice_ = std::move(notice); }
    virtual ~UsbLink();
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    // How the link waits inside an exchange. The waiter is called once per
    // look at the queues and may return early (on an event, say); the link
    // looks again and calls it again until its deadline. The default is
    // wait_plain().
    void set_waiter(Waiter waiter);
    // A pump called instead of the waiter, once per look, about a millisecond
    // apart; it must let some time pass itself (tests advance a hand-driven
    // clock with it).
    void set_event_pump(EventPump pump);
    // The wait without a toolkit: a reply wait on the driver's port (woken
    // by the data), a drain or a pause as a sleep on the link's clock; a
    // driver that cannot wait on its port lets 1 ms pass on the clock.
    void wait_plain(const LinkWait& wait);
    // Receives each console text as one piece ("...\n"). The default writes
    // it to standard output and flushes at once.
    void set_console(Console console);
    // May be null (no progress shown).
    void set_progress(LinkProgress* progress) { progress_sink_ = progress; }
    // One more console text from the operation that runs the link (a retry).
    void console(const std::string& text) { say("%s", text.c_str()); }

    // --- device set-up ---
    // Opens the bridge, finds the opened device in the device list (the entry
    // whose reported handle is ours, not just the first of that description),
    // copies its serial number to serial_out, configures the link and closes
    // it. False when the bridge cannot be opened. When the list does not show
    // the opened device the result is true and serial_out is left as it was.
    bool setup_device(std::string& serial_out);

    // --- commands (normal mode unless said) ---
    // 0xC0, both modes: the firmware version and mode, when the 2-byte reply came whole.
    std::optional<PedalState> get_pedal_state();
    // 0xC1: the global record (it travels as bytes 3..33, then 0..2).
    std::optional<GlobalsRecord> get_globals();
    // 0xC2: block_a = record bytes 3..33 (31 bytes), block_b = bytes 0..2.
    bool set_globals(const uint8_t* block_a, const uint8_t* block_b);
    // The same from a whole 34-byte record.
    bool set_globals_record(const uint8_t* record);
    // 0xC3 + 35 bytes: live preview of a parameter block.
    LinkResult change_core(const PresetParameters& params);
    // 0xC4: all parameter blocks and titles, 1504 bytes, into dest (which
    // must hold at least that many; a smaller one is refused). check, when
    // given, is called after each of the three parts of parameter blocks
    // (batch 1 to 3) with that part; false from it marks the transfer failed
    // (the check says why on the console).
    using PartCheck = std::function<bool(int batch, std::span<const uint8_t> part)>;
    bool read_all(std::span<uint8_t> dest, const PartCheck& check = {});
    // 0xC5 (dsp 0, DSP-X) or 0xC6 (dsp 1, DSP-Y), then the 512-byte program.
    LinkResult write_data(const DspProgram& block, int dsp);
    // 0xC7: one 32-byte arp sequence, into *out when it came whole. The
    // protocol's integer for it is link_code(result, kArpTimeout).
    LinkResult get_arp_data(uint8_t algorithm_index, uint8_t sequence, uint8_t dsp, ArpSequence* out = nullptr);
    // 0xC8: send (store = 0) or store (store = 1) a 32-byte arp sequence.
    LinkResult set_arp_data(uint8_t algorithm_index, uint8_t sequence, uint8_t dsp, uint8_t store, const uint8_t* data);
    // 0x00 | slot: the 47-byte PresetRecord of slot 0..31.
    std::optional<PresetRecord> read_preset(int slot);
    // 0x40 | slot: header, then each program echoed back and compared.
    LinkResult store_preset(int slot, const PresetParameters& params, const PresetTitle& title,
                     const DspProgram& program_x, const DspProgram& program_y);
    // 0x80 | block (0..63): one 512-byte library block, echoed back. True
    // when the echo arrived whole; it is copied into *echo then.
    bool write_library_block(int block, const uint8_t* data, LibraryBlock* echo = nullptr);
    // Update mode, 0xC7 + address (little-endian), then a 256-byte page,
    // echoed back into *echo when it arrived whole.
    LinkResult write_firmware_page(uint16_t address, const uint8_t* data, FirmwarePage* echo = nullptr);
    // Update mode, 0xC8 + version + patch. True when written whole.
    bool set_version(uint8_t version, uint8_t patch);
    // Update mode, 0xCF: leave update mode. True when written whole.
    bool send_one_message();

    // Blocks for `seconds` on the link's clock, through the waiter when
    // process_events is true, else just sleeping.
    void pause(double seconds, bool process_events);

    // --- state ---
    const uint8_t* buffer() const { return buffer_; }
    // The open exchange's driver handle, 0 between exchanges.
    FtHandle ft_handle() const { return handle_; }
    FtStatus status() const { return status_; }
    uint32_t count() const { return count_; }
    Stopwatch& stopwatch() { return stopwatch_; }
    Clock& clock() { return clock_; }
    FtDriver& driver() { return driver_; }
    // True while an exchange runs (a call made from the waiter then is refused).
    bool busy() const { return busy_; }
    // What the last exchange came to.
    const LinkResult& last_result() const { return result_; }

protected:
    // Hooks for the progress sink, no-ops without one.
    void progress_value(double v);
    void progress_label(const std::string& label);
    void progress_redraw();

private:
    enum class OpenLine { WithCode, Plain, SetUp };
    class Exchange;   // marks the link busy for one operation

    void say(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void idle(const LinkWait& wait);
    void close_handle();
    void release();
    bool open(OpenLine line);
    // The one exchange: writes the request, waits for the transmit queue,
    // pauses, waits for the reply and reads it, as `request` says, and writes
    // the console lines of its row. Leaves the result in result_.
    const LinkResult& exchange(const LinkRequest& request);
    // The purge that ends an exchange; reported when it fails.
    bool purge_at_end();
    bool purge_both();
    // Waits until `len` bytes are queued or limit seconds have passed.
    // True when the deadline was exceeded (checked after the loop).
    bool wait_reply(uint32_t len, double limit, uint32_t& received);
    // Waits for the transmit queue to empty. True on timeout; `left` holds
    // the bytes still queued at the last look.
    bool wait_drain(double limit, uint32_t& left);
    const LinkResult& fail(LinkStatus status, uint32_t bytes);
    const LinkResult& refuse(LinkStatus status);

    FtDriver& driver_;
    Clock& clock_;
    Stopwatch stopwatch_;
    FtHandle handle_ = 0;
    FtStatus status_ = FT_OK;
    uint32_t count_ = 0;
    uint8_t buffer_[kBufferSize] = {};
    bool busy_ = false;
    int holds_ = 0;
    bool in_use_told_ = false;   // this hold has told about the other program
    LinkResult result_;
    InUseNotice in_use_notice_;
    EventPump pump_;
    Waiter waiter_;
    Console console_;
    LinkProgress* progress_sink_ = nullptr;
};

} // namespace kv
