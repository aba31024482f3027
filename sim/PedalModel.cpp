#include "sim/PedalModel.h"

#include "arp/ArpSequence.h"
#include "sim/FactoryData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv {

namespace {

constexpr size_t kHeadBytes = 8;

// Arp sequence a pedal engine plays for an algorithm id and its SP1 code.
ArpBytes arp_for(PedalMemory& m, uint8_t algorithm, uint8_t selector)
{
    ArpBytes none{};
    const int a = arp_index(algorithm);
    if (a < 0) return none;
    const int s = arp_sequence_of_selector(selector);
    if (s == kArpRandom) return arp_random_sequence(a);
    if (s < 0 || s >= kArpUserSequences) return none;
    return m.arp(a, s);
}

// Where sequence s of arp algorithm index a lies in the arp blocks; false
// outside the library. A sequence never straddles two blocks (512 / 32).
bool arp_place(int a, int s, size_t* block, size_t* offset)
{
    if (a < 0 || a >= kArpAlgorithmCount || s < 0 || s >= kArpUserSequences) return false;
    const size_t at = (size_t(a) * kArpUserSequences + size_t(s)) * kArpSequenceSize;
    *block = size_t(kFirstArpBlock) + at / kLibraryBlockSize;
    *offset = at % kLibraryBlockSize;
    return true;
}

}  // namespace

static_assert(kLibraryBlockSize % kArpSequenceSize == 0);
static_assert(size_t(kLibraryBlocks - kFirstArpBlock) * kLibraryBlockSize >= kArpTableSize);

ArpBytes PedalMemory::arp(int a, int s) const
{
    ArpBytes out{};
    size_t block = 0;
    size_t offset = 0;
    if (arp_place(a, s, &block, &offset)) std::memcpy(out.data(), library[block].data() + offset, kArpSequenceSize);
    return out;
}

void PedalMemory::set_arp(int a, int s, const ArpBytes& sequence)
{
    size_t block = 0;
    size_t offset = 0;
    if (arp_place(a, s, &block, &offset)) std::memcpy(library[block].data() + offset, sequence.data(), kArpSequenceSize);
}

bool parse_firmware_version(const std::string& text, FirmwareVersion* out)
{
    int parts[3] = {0, 0, 0};
    int index = 0;
    bool digit_seen = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            parts[index] = parts[index] * 10 + (c - '0');
            if (parts[index] > 999) return false;
            digit_seen = true;
        } else if (c == '.' && digit_seen && index < 2) {
            ++index;
            digit_seen = false;
        } else {
            return false;
        }
    }
    if (index != 2 || !digit_seen) return false;
    if (parts[0] > 15 || parts[1] > 15 || parts[2] > 127) return false;
    if (out) *out = FirmwareVersion{parts[0], parts[1], parts[2]};
    return true;
}

std::string format_firmware_version(const FirmwareVersion& v)
{
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

GlobalsBytes factory_globals()
{
    GlobalsBytes g{};
    g[0] = 3;      // TIP: Bank Down
    g[1] = 10;     // TIP + RING: Tap Tempo
    g[2] = 2;      // RING: Bank Up
    g[3] = 0x60;   // favourite 1A, four pages, no pad
    g[4] = 0x00;   // channel 1, LED blinking, B/X calls preset B
    for (size_t k = 5; k < kGlobalsSize; ++k) g[k] = uint8_t(14 + (k - 5));
    return g;
}

GlobalsBytes globals_to_wire(const GlobalsBytes& record)
{
    GlobalsBytes w{};
    std::copy(record.begin() + kGlobalsHeadSize, record.end(), w.begin());
    std::copy(record.begin(), record.begin() + kGlobalsHeadSize, w.begin() + kGlobalsTailSize);
    return w;
}

GlobalsBytes globals_from_wire(const uint8_t* wire)
{
    GlobalsBytes g{};
    std::memcpy(g.data() + kGlobalsHeadSize, wire, kGlobalsTailSize);
    std::memcpy(g.data(), wire + kGlobalsTailSize, kGlobalsHeadSize);
    return g;
}

bool PedalSlot::operator==(const PedalSlot& o) const
{
    return std::memcmp(&parameters, &o.parameters, kPresetParametersSize) == 0 &&
           std::memcmp(&title, &o.title, kPresetTitleSize) == 0 &&
           std::memcmp(program_x.bytes, o.program_x.bytes, kDspProgramSize) == 0 &&
           std::memcmp(program_y.bytes, o.program_y.bytes, kDspProgramSize) == 0;
}

int arp_sequence_of_selector(uint8_t selector)
{
    if (selector == 7) return kArpRandom;
    if (selector > 7) return kArpNoSequence;
    return (selector + 1) / 2;   // 0 -> I, 1-2 -> II, 3-4 -> III, 5-6 -> IV
}

ArpBytes arp_random_sequence(int arp_index)
{
    ArpSequence seq;
    if (arp_index < 0 || arp_index >= kArpAlgorithmCount) return seq.bytes;
    uint32_t state = 0x9E3779B9u ^ uint32_t(arp_index * 7919 + 1);
    for (int k = 0; k < kArpSteps; ++k) {
        state = state * 1664525u + 1013904223u;
        seq.set_level(k, int((state >> 8) % 4096), arp_index == 0);   // Arp Tremolo keeps no second copy
    }
    return seq.bytes;
}

PedalModel::PedalModel(Clock& clock) : clock_(clock)
{
    set_memory(builtin_factory_memory());
    generation_ = 0;
}

void PedalModel::set_firmware_version(const FirmwareVersion& v)
{
    memory_.version = FirmwareVersion{v.major & 0x0F, v.minor & 0x0F, v.patch & 0x7F};
}

std::array<uint8_t, 2> PedalModel::pedal_state_bytes() const
{
    return {memory_.version.version_byte(), mode_byte(!update_mode_, memory_.version.patch)};
}

void PedalModel::set_memory(const PedalMemory& m)
{
    memory_ = m;
    if (memory_.firmware.size() != kFirmwareImageSize) memory_.firmware.resize(kFirmwareImageSize, 0);
    set_firmware_version(memory_.version);
    const PedalSlot& s0 = memory_.slots[0];
    playing_.parameters = s0.parameters;
    playing_.program_x = s0.program_x;
    playing_.program_y = s0.program_y;
    playing_.arp_x = arp_for(memory_, s0.parameters.algorithm_x, s0.parameters.sp1_x);
    playing_.arp_y = arp_for(memory_, s0.parameters.algorithm_y, s0.parameters.sp1_y);
    changed();
}

const PedalSlot* PedalModel::slot(int index) const
{
    return slot_valid(index) ? &memory_.slots[size_t(index)] : nullptr;
}

PedalSlot* PedalModel::slot(int index)
{
    return slot_valid(index) ? &memory_.slots[size_t(index)] : nullptr;
}

void PedalModel::vanish_after(int requests)
{
    if (requests < 0) {
        vanish_countdown_ = -1;
    } else if (requests == 0) {
        vanish_countdown_ = -1;
        vanished_ = true;
    } else {
        vanish_countdown_ = requests;
    }
}

void PedalModel::host_purged()
{
    pending_ = Pending::Idle;
    need_ = 0;
    part_.clear();
    store_header_.clear();
}

void PedalModel::expect(Pending what, size_t bytes)
{
    pending_ = what;
    need_ = bytes;
    part_.clear();
    part_.reserve(bytes);
}

void PedalModel::receive(const uint8_t* data, size_t len, std::vector<uint8_t>& reply)
{
    if (vanished_ || no_answer_ || len == 0 || data == nullptr) return;
    const double now = clock_.now();
    if (need_ != 0 && now - last_byte_time_ > kStallSeconds) host_purged();
    last_byte_time_ = now;

    size_t i = 0;
    while (i < len && !vanished_) {
        if (need_ == 0) {
            start_command(data[i++]);
            if (need_ == 0 && pending_ != Pending::Idle) complete_part(reply);
            continue;
        }
        const size_t take = std::min(need_, len - i);
        part_.insert(part_.end(), data + i, data + i + take);
        need_ -= take;
        i += take;
        if (need_ == 0) complete_part(reply);
    }
}

void PedalModel::start_command(uint8_t first)
{
    command_ = first;
    command_in_update_mode_ = update_mode_;
    Pending what = Pending::Idle;
    size_t total = 0;
    if (update_mode_) {
        switch (first) {
        case cmd::kGetPedalState: what = Pending::Single; total = 1; break;
        case cmd::kFirmwarePage: what = Pending::FirmwareAddress; total = kFirmwareAddressSize; break;
        case cmd::kSetVersion: what = Pending::Single; total = kSetVersionSize; break;
        case cmd::kSendOneMessage: what = Pending::Single; total = 1; break;
        default: break;
        }
    } else if (first < cmd::kStorePresetFirst) {
        what = Pending::Single; total = 1;
    } else if (first < cmd::kLibraryBlockFirst) {
        what = Pending::StoreHeader; total = kStoreHeaderSize;
    } else if (first < cmd::kGetPedalState) {
        what = Pending::LibraryAddress; total = 1;
    } else {
        switch (first) {
        case cmd::kGetPedalState:
        case cmd::kGetGlobals:
        case cmd::kReadAll: what = Pending::Single; total = 1; break;
        case cmd::kSetGlobals: what = Pending::Single; total = kSetGlobalsSize; break;
        case cmd::kChangeCore: what = Pending::Single; total = kChangeCoreSize; break;
        case cmd::kWriteDataX:
        case cmd::kWriteDataY: what = Pending::WriteDataId; total = 1; break;
        case cmd::kGetArpData: what = Pending::Single; total = kGetArpSize; break;
        case cmd::kSetArpData: what = Pending::Single; total = kSetArpSize; break;
        default: break;
        }
    }
    if (what == Pending::Idle) {
        part_.assign(1, first);
        char buf[64];
        std::snprintf(buf, sizeof buf, "Unknown command 0x%02X%s", first, update_mode_ ? " (update mode)" : "");
        note(buf, 0, false);
        part_.clear();
        pending_ = Pending::Idle;
        need_ = 0;
        return;
    }
    pending_ = what;
    part_.assign(1, first);
    need_ = total - 1;
}

void PedalModel::answer(const std::vector<uint8_t>& bytes, bool echo, std::vector<uint8_t>& reply)
{
    std::vector<uint8_t> out = bytes;
    if (echo && corrupt_echoes_ > 0 && !out.empty()) {
        out.back() ^= 0xFF;
        --corrupt_echoes_;
    }
    if (short_answer_) out.resize(out.size() / 2);
    reply.insert(reply.end(), out.begin(), out.end());
    last_reply_length_ = out.size();
}

void PedalModel::note(const std::string& name, size_t reply_length, bool known)
{
    if (!observer_) return;
    PedalRequest r;
    r.name = name;
    r.command = command_;
    r.length = part_.size();
    r.head.assign(part_.begin(), part_.begin() + long(std::min(part_.size(), kHeadBytes)));
    r.reply_length = reply_length;
    r.known = known;
    observer_(r);
}

void PedalModel::finish_request()
{
    pending_ = Pending::Idle;
    need_ = 0;
    part_.clear();
    ++requests_;
    if (vanish_countdown_ > 0 && --vanish_countdown_ == 0) {
        vanish_countdown_ = -1;
        vanished_ = true;
    }
}

void PedalModel::complete_part(std::vector<uint8_t>& reply)
{
    last_reply_length_ = 0;
    switch (pending_) {
    case Pending::Idle:
        return;
    case Pending::Single:
        handle_single(reply);
        finish_request();
        return;
    case Pending::StoreHeader:
        target_ = command_ & cmd::kTargetMask;
        store_header_ = part_;
        if (spoil_headers_ > 0 && store_header_.size() > kSpoiledHeaderByte) {
            store_header_[kSpoiledHeaderByte] ^= 0x01;
            --spoil_headers_;
        }
        note("Store preset " + std::to_string(target_) + " parameters & title", 0);
        expect(Pending::StoreX, kDspProgramSize);
        return;
    case Pending::StoreX:
        std::memcpy(store_x_.bytes, part_.data(), kDspProgramSize);
        answer(part_, true, reply);
        note("Store preset " + std::to_string(target_) + " X-Data", last_reply_length_);
        expect(Pending::StoreY, kDspProgramSize);
        return;
    case Pending::StoreY:
        complete_store(reply);
        finish_request();
        return;
    case Pending::LibraryAddress:
        target_ = command_ & cmd::kTargetMask;
        note("Library block " + std::to_string(target_) + " address", 0);
        expect(Pending::LibraryData, kLibraryBlockSize);
        return;
    case Pending::LibraryData:
        if (target_ >= 0 && target_ < kLibraryBlocks) {
            std::memcpy(memory_.library[size_t(target_)].data(), part_.data(), kLibraryBlockSize);
            changed();
        }
        answer(part_, true, reply);
        note("Library block " + std::to_string(target_) + " data", last_reply_length_);
        finish_request();
        return;
    case Pending::WriteDataId:
        target_ = command_ == cmd::kWriteDataY ? 1 : 0;
        note(target_ == 0 ? "Write Data (Preview) DSP-X messageId" : "Write Data (Preview) DSP-Y messageId", 0);
        expect(Pending::WriteData, kDspProgramSize);
        return;
    case Pending::WriteData: {
        DspProgram& p = target_ == 0 ? playing_.program_x : playing_.program_y;
        std::memcpy(p.bytes, part_.data(), kDspProgramSize);
        note(target_ == 0 ? "Write Data (Preview) DSP-X" : "Write Data (Preview) DSP-Y", 0);
        finish_request();
        return;
    }
    case Pending::FirmwareAddress: {
        const unsigned address = unsigned(part_[1]) | (unsigned(part_[2]) << 8);
        target_ = int(address / kFirmwarePageSize);   // 0..255: every 16-bit address has a page
        note("Firmware page address " + std::to_string(int(address)), 0);
        expect(Pending::FirmwarePage, kFirmwarePageSize);
        return;
    }
    case Pending::FirmwarePage:
        if (target_ >= 0 && target_ < kFirmwarePages) {
            std::memcpy(memory_.firmware.data() + size_t(target_) * kFirmwarePageSize, part_.data(), kFirmwarePageSize);
            changed();
        }
        answer(part_, true, reply);
        note("Firmware page " + std::to_string(target_), last_reply_length_);
        finish_request();
        return;
    }
}

// The last part of a store: the preset is written whole once both programs
// are in; slots above 31 have no storage, their transfer is followed but kept
// nowhere.
void PedalModel::complete_store(std::vector<uint8_t>& reply)
{
    answer(part_, true, reply);
    note("Store preset " + std::to_string(target_) + " Y-Data", last_reply_length_);
    if (PedalSlot* s = slot(target_); s != nullptr && store_header_.size() == kStoreHeaderSize) {
        const PresetRecord record = record_from_bytes(store_header_.data() + 1);
        s->parameters = record.parameters;
        s->title = record.title;
        s->program_x = store_x_;
        std::memcpy(s->program_y.bytes, part_.data(), kDspProgramSize);
        changed();
    }
    store_header_.clear();
}

void PedalModel::handle_single(std::vector<uint8_t>& reply)
{
    const uint8_t c = command_;
    if (c == cmd::kGetPedalState) {   // the same in both modes
        const auto s = pedal_state_bytes();
        answer({s[0], s[1]}, false, reply);
        note("Get Pedal State", last_reply_length_);
        return;
    }
    if (command_in_update_mode_) {
        handle_update_single();
        return;
    }

    if (c < cmd::kStorePresetFirst) {
        const int n = c & cmd::kTargetMask;
        if (const PedalSlot* s = slot(n)) {
            const PresetRecord record{s->parameters, s->title};
            answer(std::vector<uint8_t>(record.data(), record.data() + kPresetRecordSize), false, reply);
        }
        // Slots 32..63 do not exist: no answer.
        note("Read preset " + std::to_string(n), last_reply_length_);
        return;
    }

    switch (c) {
    case cmd::kGetGlobals: {
        const GlobalsBytes w = globals_to_wire(memory_.globals);
        answer(std::vector<uint8_t>(w.begin(), w.end()), false, reply);
        note("GET_GLOBALS", last_reply_length_);
        break;
    }
    case cmd::kSetGlobals:
        memory_.globals = globals_from_wire(part_.data() + 1);
        changed();
        note("SET_GLOBALS", 0);
        break;
    case cmd::kChangeCore:
        change_core();
        break;
    case cmd::kReadAll:
        read_all(reply);
        break;
    case cmd::kGetArpData: {
        // [1] arp algorithm index, [2] engine, [3] sequence selector
        ArpBytes seq{};
        const uint8_t a = part_[1];
        if (a < kArpAlgorithmCount) seq = arp_for(memory_, uint8_t(a + kFirstArpAlgorithm), part_[3]);
        answer(std::vector<uint8_t>(seq.begin(), seq.end()), false, reply);
        note("GET_ARPDATA", last_reply_length_);
        break;
    }
    case cmd::kSetArpData:
        set_arp_data();
        break;
    default:
        break;
    }
}


// Set Version ends update mode: the pedal restarts on its new firmware.
void PedalModel::handle_update_single()
{
    if (command_ == cmd::kSetVersion) {
        const uint8_t v = part_[1];
        memory_.version = FirmwareVersion{shown_version_major(v), version_minor(v), mode_patch(part_[2])};
        update_mode_ = false;
        changed();
        note("Set Version", 0);
    } else if (command_ == cmd::kSendOneMessage) {
        update_mode_ = false;
        note("'Send One Message'", 0);
    }
}

// An engine that changes algorithm or sequence starts playing that sequence
// from the library; other edits keep a previewed sequence.
void PedalModel::change_core()
{
    const PresetParameters before = playing_.parameters;
    std::memcpy(&playing_.parameters, part_.data() + 1, kPresetParametersSize);
    const PresetParameters& now = playing_.parameters;
    if (now.algorithm_x != before.algorithm_x || now.sp1_x != before.sp1_x)
        playing_.arp_x = arp_for(memory_, now.algorithm_x, now.sp1_x);
    if (now.algorithm_y != before.algorithm_y || now.sp1_y != before.sp1_y)
        playing_.arp_y = arp_for(memory_, now.algorithm_y, now.sp1_y);
    note("Change Core (Preview)", 0);
}

void PedalModel::read_all(std::vector<uint8_t>& reply)
{
    std::vector<uint8_t> out(kReadAllSize);
    for (int s = 0; s < kSlotCount; ++s) {
        const PedalSlot& sl = memory_.slots[size_t(s)];
        set_image_parameters(out.data(), s, sl.parameters);
        set_image_title(out.data(), s, sl.title);
    }
    answer(out, false, reply);
    note("ReadAll", last_reply_length_);
}

// [1] engine, [2] store flag, [3] arp algorithm index, [4] selector, [5..36] sequence
void PedalModel::set_arp_data()
{
    const uint8_t engine = part_[1];
    const bool store = part_[2] != 0;
    const uint8_t a = part_[3];
    const int s = arp_sequence_of_selector(part_[4]);
    ArpBytes seq{};
    std::memcpy(seq.data(), part_.data() + 5, kArpSequenceSize);
    if (engine == 0) playing_.arp_x = seq;
    else if (engine == 1) playing_.arp_y = seq;
    if (store && a < kArpAlgorithmCount && s >= 0 && s < kArpUserSequences) {
        memory_.set_arp(a, s, seq);
        changed();
    }
    note(store ? "SET_ARPDATA (store)" : "SET_ARPDATA (preview)", 0);
}
}  // namespace kv
