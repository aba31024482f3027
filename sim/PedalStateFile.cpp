// The pedal's memory on disk.
//
// Layout (all integers little-endian):
//   8 bytes  magic "KVPEDAL\0"
//   4 bytes  format version (1)
//   4 bytes  payload length
//   payload  firmware major, minor, patch (3 bytes); 32 slots of parameters
//            (35), title (12), DSP-X program (512), DSP-Y program (512); the
//            global record (34); the arp library (7 x 4 x 32); the 64 library
//            blocks (512 each); the firmware image (65536)
// The arp library lives in the last library blocks; its section repeats
// them and wins when the two differ (files of older simulators kept it
// apart, and their stored sequences are what the pedal then answered).
//   4 bytes  CRC-32 of the payload

#include "sim/FactoryData.h"
#include "sim/PedalModel.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace kv {

namespace {

constexpr char kMagic[8] = {'K', 'V', 'P', 'E', 'D', 'A', 'L', '\0'};
constexpr uint32_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kSlotBytes = kPresetParametersSize + kPresetTitleSize + 2 * kDspProgramSize;
constexpr size_t kPayloadSize = 3 + size_t(kSlotCount) * kSlotBytes + kGlobalsSize + kArpTableSize +
                                size_t(kLibraryBlocks) * kLibraryBlockSize + kFirmwareImageSize;

uint32_t crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int k = 0; k < 4; ++k) out.push_back(uint8_t(v >> (8 * k)));
}

uint32_t get32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void put(std::vector<uint8_t>& out, const void* p, size_t n)
{
    const auto* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}

}  // namespace

std::vector<uint8_t> PedalModel::serialize() const
{
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + kPayloadSize + 4);
    put(out, kMagic, sizeof kMagic);
    put32(out, kFormatVersion);
    put32(out, uint32_t(kPayloadSize));
    const FirmwareVersion& v = memory_.version;
    out.push_back(uint8_t(v.major));
    out.push_back(uint8_t(v.minor));
    out.push_back(uint8_t(v.patch));
    for (const PedalSlot& s : memory_.slots) {
        put(out, &s.parameters, kPresetParametersSize);
        put(out, &s.title, kPresetTitleSize);
        put(out, s.program_x.bytes, kDspProgramSize);
        put(out, s.program_y.bytes, kDspProgramSize);
    }
    put(out, memory_.globals.data(), kGlobalsSize);
    for (int a = 0; a < kArpAlgorithmCount; ++a)
        for (int s = 0; s < kArpUserSequences; ++s) put(out, memory_.arp(a, s).data(), kArpSequenceSize);
    for (const auto& block : memory_.library) put(out, block.data(), kLibraryBlockSize);
    put(out, memory_.firmware.data(), kFirmwareImageSize);
    put32(out, crc32(out.data() + kHeaderSize, kPayloadSize));
    return out;
}

bool PedalModel::deserialize(const uint8_t* data, size_t len)
{
    if (data == nullptr || len != kHeaderSize + kPayloadSize + 4) return false;
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
    if (get32(data + 8) != kFormatVersion || get32(data + 12) != kPayloadSize) return false;
    const uint8_t* p = data + kHeaderSize;
    if (get32(p + kPayloadSize) != crc32(p, kPayloadSize)) return false;
    if (p[0] > 15 || p[1] > 15 || p[2] > 127) return false;

    PedalMemory m;
    m.version = FirmwareVersion{p[0], p[1], p[2]};
    p += 3;
    for (PedalSlot& s : m.slots) {
        std::memcpy(&s.parameters, p, kPresetParametersSize); p += kPresetParametersSize;
        std::memcpy(&s.title, p, kPresetTitleSize); p += kPresetTitleSize;
        std::memcpy(s.program_x.bytes, p, kDspProgramSize); p += kDspProgramSize;
        std::memcpy(s.program_y.bytes, p, kDspProgramSize); p += kDspProgramSize;
    }
    std::memcpy(m.globals.data(), p, kGlobalsSize); p += kGlobalsSize;
    const uint8_t* arp_section = p;
    p += kArpTableSize;
    for (auto& block : m.library) { std::memcpy(block.data(), p, kLibraryBlockSize); p += kLibraryBlockSize; }
    for (int a = 0; a < kArpAlgorithmCount; ++a) {
        for (int s = 0; s < kArpUserSequences; ++s) {
            ArpBytes seq{};
            std::memcpy(seq.data(), arp_section, kArpSequenceSize);
            arp_section += kArpSequenceSize;
            m.set_arp(a, s, seq);
        }
    }
    std::memcpy(m.firmware.data(), p, kFirmwareImageSize);
    set_memory(m);
    return true;
}

bool PedalModel::save_state(const std::string& path) const
{
    if (path.empty()) return false;
    // A fresh file of our own beside the target (never a name someone could
    // have planted a symlink at), then put in its place in one step.
    return write_file_atomically(path, serialize()).ok();
}

StateFileLoad PedalModel::load_state_checked(const std::string& path)
{
    // A longer file is not ours: no need to read it all.
    const FileRead r = read_file_limited(path, kHeaderSize + kPayloadSize + 4);
    if (r.error == FileError::NotFound) return {StateFileStatus::Missing, r.error};
    if (r.error == FileError::NotRegular || r.error == FileError::NoAccess || r.error == FileError::OpenFailed)
        return {StateFileStatus::Refused, r.error};
    if (!r || !deserialize(r.bytes.data(), r.bytes.size())) return {StateFileStatus::Damaged, r.error};
    return {StateFileStatus::Loaded, FileError::NoError};
}

bool PedalModel::load_state(const std::string& path)
{
    return load_state_checked(path).status == StateFileStatus::Loaded;
}

std::optional<std::string> keep_damaged_state_file(const std::string& path)
{
    // The first free name of path.damaged, path.damaged.1, ...: an earlier
    // kept copy is never replaced.
    for (int n = 0; n < 1000; ++n) {
        const std::string kept = path + ".damaged" + (n == 0 ? std::string() : "." + std::to_string(n));
        int error = 0;
        if (move_file_unless_taken(path, kept, &error)) return kept;
        if (error != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace kv
