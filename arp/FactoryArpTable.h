#pragma once
// The factory arp sequences shipped with the program in "bin/arpdata.bin":
// 896 bytes, no header, seven blocks of 128 bytes in arp-algorithm order
// (Arp Tremolo first), each holding factory sequences I..IV as 32-byte records.
// Sequence s of arp algorithm a lies at offset 128a + 32s.
//
// The editor keeps one copy, zero-filled until the file has been read. The file
// is read on the first request for a factory sequence; a file that cannot be
// opened leaves the copy as it is and is tried again on the next request.

#include "arp/ArpSequence.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

constexpr std::size_t kArpFactoryBlockSize = kArpUserSequences * kArpSequenceSize;        // 128
constexpr std::size_t kArpFactoryTableSize = kArpAlgorithmCount * kArpFactoryBlockSize;   // 896
constexpr const char* kArpFactoryFileName = "arpdata.bin";

// Shown when "arpdata.bin" cannot be opened.
constexpr const char* kArpFactoryLoadFailedMessage =
    "Unable to load factory data, file may be corrupted\n or has been removed.\n\n"
    "Re-installing this software will restore the file\nand likely solve the issue.";

// "<folder>/arpdata.bin".
std::string arp_factory_path(const std::string& folder);

class FactoryArpTable {
public:
    // Makes sure the copy has been read from "<folder>/arpdata.bin" (folder "bin"
    // relative to the working directory by default). Reads the file only while
    // no read has succeeded yet. False when the file cannot be opened; the copy
    // is then unchanged and the next call tries again.
    bool ensure_loaded(const std::string& folder = "bin");

    // Reads the file now, whatever was read before. A file shorter than 896
    // bytes is read as far as it goes and the rest of the copy is zero; bytes
    // beyond 896 are ignored. False when the file cannot be opened or read, or
    // is not a regular file of at most 1 MiB (copy unchanged).
    bool load(const std::string& folder = "bin");

    bool loaded() const { return loaded_; }
    // Bytes the last successful read took from the file (896 for a whole file).
    std::size_t bytes_read() const { return bytes_read_; }
    bool complete() const { return loaded_ && bytes_read_ == kArpFactoryTableSize; }

    // Factory sequence `number` (0..3) of arp algorithm index `algorithm_index` (0..6). Indexes outside
    // those ranges give an all-zero record.
    ArpSequence sequence(int algorithm_index, int number) const;

    const std::array<std::uint8_t, kArpFactoryTableSize>& bytes() const { return table_; }

private:
    std::array<std::uint8_t, kArpFactoryTableSize> table_{};
    bool loaded_ = false;
    std::size_t bytes_read_ = 0;
};

} // namespace kv
