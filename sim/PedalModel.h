#pragma once
// The simulated pedal: everything a Tessivar keeps and how it answers on the
// wire. No toolkit and no I/O of its own: bytes go in through receive(), the
// answer comes out in the reply vector. tessivar-sim serves it on a
// pseudo-terminal; the in-process driver wires it straight to the link.
//
// Requests may arrive cut into any pieces. The model follows each command as
// a small state machine: a Store is a 48-byte header, then the DSP-X program
// (echoed), then the DSP-Y program (echoed); Write Data and library blocks are
// one byte and then 512; a firmware page (update mode) is three bytes and then
// 256 (echoed). A command left half-received is dropped when the host purges
// its queues (host_purged()) or when no byte has come for kStallSeconds.

#include "arp/FactoryArpTable.h"
#include "link/PedalPort.h"
#include "link/PedalWire.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "preset/Catalogue.h"
#include "preset/PedalVersion.h"
#include "preset/PresetRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv {

constexpr char kDefaultSerialNumber[] = "TSV0417A";

struct FirmwareVersion {
    int major = 2;   // 0..15
    int minor = 5;   // 0..15
    int patch = 0;   // 0..127

    // The first Get Pedal State byte: major in bits 7..4, minor in bits 3..0.
    uint8_t version_byte() const { return kv::version_byte(major, minor); }
    bool operator==(const FirmwareVersion&) const = default;
};

// "X.Y.Z" with major and minor 0..15 and patch 0..127; false for anything else.
bool parse_firmware_version(const std::string& text, FirmwareVersion* out);
std::string format_firmware_version(const FirmwareVersion& v);

using GlobalsBytes = std::array<uint8_t, kGlobalsSize>;
using ArpBytes = std::array<uint8_t, kArpSequenceSize>;
using LibraryBlock = std::array<uint8_t, kLibraryBlockSize>;

// The factory global record: AUX TIP "Bank Down", TIP + RING "Tap Tempo",
// RING "Bank Up", favourite 1A, four pages, no pad, channel 1, CC map 14..42.
GlobalsBytes factory_globals();

// Global record to its wire order (bytes 3..33, then 0..2) and back.
GlobalsBytes globals_to_wire(const GlobalsBytes& record);
GlobalsBytes globals_from_wire(const uint8_t* wire);

// One preset slot as the pedal stores it.
struct PedalSlot {
    PresetParameters parameters{};
    PresetTitle title{};
    DspProgram program_x{};
    DspProgram program_y{};

    // Byte for byte.
    bool operator==(const PedalSlot& other) const;
};

// Everything the pedal keeps across power cycles.
struct PedalMemory {
    std::array<PedalSlot, kSlotCount> slots{};
    GlobalsBytes globals{};
    // The algorithm images, the display data and, from kFirstArpBlock on, the
    // arp library: one memory, which a library update rewrites and
    // GET_ARPDATA and SET_ARPDATA read and write.
    std::array<LibraryBlock, kLibraryBlocks> library{};
    std::vector<uint8_t> firmware = std::vector<uint8_t>(kFirmwareImageSize, 0);
    FirmwareVersion version{};

    // Sequence I..IV (s = 0..3) of arp algorithm index a (id - 31), at offset
    // 128 a + 32 s of the arp blocks. Zeros (and no change) outside.
    ArpBytes arp(int a, int s) const;
    void set_arp(int a, int s, const ArpBytes& sequence);

    bool operator==(const PedalMemory&) const = default;
};

// What the engines play right now (lost at power-off).
struct PedalPlaying {
    PresetParameters parameters{};   // last Change Core, or slot 0 at power-up
    DspProgram program_x{};          // last Write Data for DSP-X
    DspProgram program_y{};          // last Write Data for DSP-Y
    // The sequence each engine steps through: the library's for its arp
    // algorithm and SP1 (set when either changes), or the last SET_ARPDATA.
    ArpBytes arp_x{};
    ArpBytes arp_y{};
};

// One request (or one part of a multi-part request) as the pedal saw it.
struct PedalRequest {
    std::string name;                 // "Get Pedal State", "Store preset 5 X-Data", ...
    uint8_t command = 0;              // first byte of the command
    size_t length = 0;               // bytes of this part
    std::vector<uint8_t> head;       // its first bytes (at most 8)
    size_t reply_length = 0;         // bytes answered (after faults)
    bool known = true;               // false for a byte that starts no command
};

// Sequence I..IV for a sequence selector (secondary parameter 1 of an arp
// algorithm): 0 -> I, 1..2 -> II, 3..4 -> III, 5..6 -> IV; 7 is the random
// sequence (kArpRandom); anything above is kArpNoSequence.
constexpr int kArpRandom = 4;
constexpr int kArpNoSequence = -1;
int arp_sequence_of_selector(uint8_t selector);

// The fixed random sequence of an arp algorithm (part of the firmware, never
// written). Index outside 0..6 gives zeros.
ArpBytes arp_random_sequence(int arp_index);

// What became of reading the state file.
enum class StateFileStatus {
    Loaded,    // the memory now comes from the file
    Missing,   // no file yet: a factory-fresh pedal
    Refused,   // not a regular file (a FIFO, a device, a folder) or not readable: leave it alone
    Damaged,   // a file of ours that fails its checks: keep it aside before writing a new one
};
struct StateFileLoad {
    StateFileStatus status = StateFileStatus::Missing;
    FileError error = FileError::NoError;   // the reader's reason, when it had one
};

// Moves a damaged state file out of the way, to path + ".damaged" (or
// ".damaged.1", ... when that is taken), so that writing a new state never
// destroys it. The new name, or nothing when it could not be moved.
std::optional<std::string> keep_damaged_state_file(const std::string& path);

class PedalModel : public PedalPort {
public:
    // A half-received command is dropped after this long without a byte.
    static constexpr double kStallSeconds = 3.0;

    explicit PedalModel(Clock& clock = system_clock());

    // --- the wire (PedalPort) ---
    void receive(const uint8_t* data, size_t len, std::vector<uint8_t>& reply) override;
    double reply_delay() const override { return reply_delay_; }
    bool vanished() const override { return vanished_; }
    // The host emptied both queues: a half-received command is abandoned.
    void host_purged() override;
    // True while a command is only partly received.
    bool mid_command() const { return need_ != 0; }

    // --- identity and mode ---
    const FirmwareVersion& firmware_version() const { return memory_.version; }
    void set_firmware_version(const FirmwareVersion& v);
    bool update_mode() const { return update_mode_; }
    void set_update_mode(bool on) { update_mode_ = on; }
    const std::string& serial_number() const { return serial_; }
    void set_serial_number(const std::string& s) { serial_ = s; }
    // The two Get Pedal State bytes.
    std::array<uint8_t, 2> pedal_state_bytes() const;

    // --- memory and what is playing (for tests and the state file) ---
    PedalMemory& memory() { return memory_; }
    const PedalMemory& memory() const { return memory_; }
    PedalPlaying& playing() { return playing_; }
    const PedalPlaying& playing() const { return playing_; }
    // Replaces the whole memory (a power cycle: playing restarts from slot 0).
    void set_memory(const PedalMemory& m);
    // Slot 0..31; nullptr outside.
    const PedalSlot* slot(int index) const;
    PedalSlot* slot(int index);
    // Counts every change of the memory, so a caller can tell when to save it.
    uint64_t generation() const { return generation_; }
    // Requests seen (a multi-part command counts once, when it completes).
    int requests_handled() const { return requests_; }

    // --- faults ---
    void set_no_answer(bool on) { no_answer_ = on; }           // deaf: every byte is lost
    bool no_answer() const { return no_answer_; }
    void set_short_answer(bool on) { short_answer_ = on; }     // every answer loses its second half
    bool short_answer() const { return short_answer_; }
    void corrupt_next_echoes(int blocks) { corrupt_echoes_ = blocks > 0 ? blocks : 0; }
    int corrupt_echoes_left() const { return corrupt_echoes_; }
    // The next N Store headers arrive with one bit of a parameter byte
    // flipped (kSpoiledHeaderByte, bit 0): the pedal stores what arrived, and
    // the header is not echoed, so only reading the slot back shows it.
    static constexpr size_t kSpoiledHeaderByte = 20;   // header byte; parameter byte 19
    void spoil_next_headers(int headers) { spoil_headers_ = headers > 0 ? headers : 0; }
    int spoil_headers_left() const { return spoil_headers_; }
    void set_reply_delay(double seconds) { reply_delay_ = seconds > 0 ? seconds : 0.0; }
    // Drop off the bus once `requests` more requests have been answered
    // (0 = at once); a negative count cancels a pending vanish.
    void vanish_after(int requests);
    void vanish_now() { vanished_ = true; }

    // --- observation ---
    using RequestObserver = std::function<void(const PedalRequest&)>;
    void set_request_observer(RequestObserver fn) { observer_ = std::move(fn); }

    // --- the pedal's memory on disk (binary, versioned, checksummed) ---
    std::vector<uint8_t> serialize() const;
    // False, leaving everything unchanged, for a short, foreign or damaged image.
    bool deserialize(const uint8_t* data, size_t len);
    // Written to a new file made with mkstemp in path's folder (a symlink
    // planted anywhere cannot redirect the write), synced and renamed over path.
    bool save_state(const std::string& path) const;
    // Read through read_file_limited: a FIFO or device is refused at once.
    StateFileLoad load_state_checked(const std::string& path);
    // True when the file was loaded.
    bool load_state(const std::string& path);

private:
    enum class Pending {
        Idle,
        StoreHeader, StoreX, StoreY,
        LibraryAddress, LibraryData,
        WriteDataId, WriteData,
        FirmwareAddress, FirmwarePage,
        Single,   // one-part command of a fixed length
    };

    void start_command(uint8_t first);
    void complete_part(std::vector<uint8_t>& reply);
    void handle_single(std::vector<uint8_t>& reply);
    void handle_update_single();
    void complete_store(std::vector<uint8_t>& reply);
    void change_core();
    void read_all(std::vector<uint8_t>& reply);
    void set_arp_data();
    void answer(const std::vector<uint8_t>& bytes, bool echo, std::vector<uint8_t>& reply);
    void note(const std::string& name, size_t reply_length, bool known = true);
    void finish_request();
    void expect(Pending what, size_t bytes);
    void changed() { ++generation_; }

    Clock& clock_;
    PedalMemory memory_;
    PedalPlaying playing_;
    std::string serial_ = kDefaultSerialNumber;
    bool update_mode_ = false;

    // parser
    Pending pending_ = Pending::Idle;
    size_t need_ = 0;                 // bytes the current part still lacks (0 = idle)
    std::vector<uint8_t> part_;       // bytes of the current part so far
    uint8_t command_ = 0;
    bool command_in_update_mode_ = false;
    int target_ = 0;                  // slot, block or page of a multi-part command
    std::vector<uint8_t> store_header_;
    DspProgram store_x_{};
    double last_byte_time_ = 0.0;

    // faults and counters
    bool no_answer_ = false;
    bool short_answer_ = false;
    int corrupt_echoes_ = 0;
    int spoil_headers_ = 0;
    double reply_delay_ = 0.0;
    int vanish_countdown_ = -1;
    bool vanished_ = false;
    int requests_ = 0;
    uint64_t generation_ = 0;
    RequestObserver observer_;
    size_t last_reply_length_ = 0;
};

}  // namespace kv
