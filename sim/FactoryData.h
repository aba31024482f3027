#pragma once
// What a factory-fresh pedal holds, taken from the data files shipped in bin/
// ("factoryset.fap", "error_log.fvc", "arpdata.bin", "dispdata.bin"), with a
// built-in stand-in for every file that is missing or has the wrong size.

#include "sim/PedalModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

constexpr char kFactoryPresetsFile[] = "factoryset.fap";
constexpr char kAlgorithmLibraryFile[] = "error_log.fvc";
constexpr char kArpTableFile[] = "arpdata.bin";
constexpr char kDisplayDataFile[] = "dispdata.bin";
constexpr size_t kAlgorithmLibraryHeader = 172;
constexpr size_t kAlgorithmLibraryImages = size_t(kAlgorithmCount) * kDspProgramSize;   // 19456
constexpr int kDisplayBlocksMax = kFirstArpBlock - kFirstDisplayBlock;                  // 24
constexpr size_t kDisplayBytesMax = size_t(kDisplayBlocksMax) * kLibraryBlockSize;       // 12288

// Which files the factory memory came from.
struct FactorySources {
    bool presets = false;    // factoryset.fap (exactly 1504 bytes)
    bool library = false;    // error_log.fvc (header + 38 images)
    bool arp = false;        // arpdata.bin (at least 896 bytes)
    bool display = false;    // dispdata.bin (at most 24 blocks; a longer file is refused)
    // Files that are there but were refused (not a regular file, too large,
    // unreadable): "cannot read <path>: <reason>", one each.
    std::vector<std::string> problems;
};

// The 38 algorithm images a pedal holds when no library file is at hand.
std::vector<DspProgram> builtin_algorithm_images();
// The 896-byte factory arp table used when no arpdata.bin is at hand.
std::vector<uint8_t> builtin_arp_table();

// Factory memory built from nothing but the built-in stand-ins.
PedalMemory builtin_factory_memory();

// Factory memory from the files in folder (a missing, ill-sized or refused
// file falls back to its built-in stand-in; every file is read through
// read_file_limited, so FIFOs and devices never block or flood it). An empty folder name uses only built-ins.
PedalMemory factory_memory(const std::string& folder, FactorySources* used = nullptr);

// The bin/ folder to power up from: the first folder that platform/DataPaths.h
// searches (working directory, beside the executable, one level above it, the
// installed data folder) which holds any of the data files. Empty when none does.
std::string find_data_folder();

}  // namespace kv
