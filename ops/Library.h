#pragma once
// Rewriting what the pedal keeps besides its presets: the algorithm library
// update (the 38 algorithm programs, the display data and the factory arp
// sequences, in 512-byte library blocks, each echoed and compared with one
// retry after a mismatch) and the factory reset (the 32 factory presets from
// the master file, verified by reading them back, then the factory global
// record).
//
// Every file is read, checked and refused before anything is sent: the
// pedal's library is never written with blank or partial images, and its
// presets never with a master file of the wrong size.
//
// Both operations find the pedal first (its serial number is refreshed), ask
// before writing, and call `hold(true)` once the user agreed and `hold(false)`
// when the writing is over, so that the caller can keep other pedal
// operations back meanwhile.

#include "link/UsbLink.h"
#include "ops/Connect.h"
#include "ops/Migration.h"
#include "ops/Reporter.h"
#include "preset/AlgorithmLibrary.h"

#include <array>
#include <cstdint>
#include <optional>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kv::ops {

// The data files, in the folder the program takes its data from ("bin").
constexpr const char* kDisplayDataFile = "dispdata.bin";
constexpr const char* kArpDataFile = "arpdata.bin";
constexpr const char* kFactoryPresetsFile = "factoryset.fap";

// Library blocks (the first of each part: link/PedalWire.h).
constexpr int kMaxDisplayBlocks = kFirstArpBlock - kFirstDisplayBlock;   // 24

// The global record of a factory-fresh pedal.
std::array<uint8_t, kGlobalsSize> factory_globals_record();

// "A problem is encountered while trying to access ..." for a data file that
// is missing, unreadable or of the wrong size.
std::string library_file_text(const std::string& file_name);

// What a library update sends, read and checked.
struct LibraryFiles {
    AlgorithmLibrary algorithms;
    std::vector<uint8_t> display;   // whole blocks, the last one padded with zeros
    std::vector<uint8_t> arp;       // 1024 bytes: the 896-byte table, then zeros
    int display_blocks() const { return int(display.size() / kLibraryBlockSize); }
};

struct LibraryFilesRead {
    std::optional<LibraryFiles> files;
    std::string bad_file;   // the file that was missing, unreadable or of the wrong size
};

// The algorithm library (every image present), the display data (at most 24
// blocks; an empty file gives none) and the arp table (at least 896 bytes).
LibraryFilesRead read_library_files(const std::string& folder);

enum class MaintenanceOutcome {
    NotFound,   // no pedal: reported, nothing asked or sent
    Declined,   // the user answered "Cancel"
    BadFile,    // a data file is missing or wrong: reported, nothing sent
    Failed,     // written, but a block or store failed: reported
    Done,       // written and verified: reported
};

struct LibraryUpdateResult {
    MaintenanceOutcome outcome = MaintenanceOutcome::NotFound;
    int errors = 0;          // blocks that failed (after their retry)
    int blocks_written = 0;  // blocks whose echo matched
    int retries = 0;
};

// Runs once the pedal was found and the user said Proceed, before anything
// is written (the window's safety backup); false stops there (Declined).
using BeforeWriting = std::function<bool()>;

// The menu's " > Update Library".
LibraryUpdateResult update_library(UsbLink& link, Reporter& report, const std::string& data_folder,
                                   std::string& serial_number, const std::function<void(bool)>& hold = {},
                                   const BeforeWriting& before_writing = {});

struct FactoryResetResult {
    MaintenanceOutcome outcome = MaintenanceOutcome::NotFound;
    int stored = 0;           // presets stored before the end or a failure
    bool verified = false;    // read back and equal
    bool globals_sent = false;
    EverythingRead read;      // the presets read afterwards
};

// The menu's " > Factory Reset". On success `globals` holds the factory
// record; afterwards `image` holds the presets read back from the pedal.
FactoryResetResult factory_reset(UsbLink& link, Reporter& report, const std::string& data_folder,
                                 std::string& serial_number, PresetImage image,
                                 std::span<uint8_t, kGlobalsSize> globals, const std::function<void(bool)>& hold = {},
                                 const BeforeWriting& before_writing = {});

} // namespace kv::ops
