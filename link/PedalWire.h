#pragma once
// What crosses the wire between the program and the pedal: the bridge's
// description, the line rate, the size of every block and request, and the
// first byte of every request. The link (the host's side) and the simulated
// pedal (the far side) both build on these; nothing here sees the toolkit.
// Preset records and DSP programs are sized in preset/PresetRecord.h, arp
// sequences in arp/ArpSequence.h.

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"
#include "settings/GlobalsRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv {

// The description the pedal's USB-serial bridge reports.
constexpr char kPedalDescription[] = "Brakwell Tessivar";

// 115200 baud, 8 data bits, no parity, 1 stop bit: 10 bits a byte.
constexpr uint32_t kWireBaud = 115200;
constexpr double kWireBytesPerSecond = kWireBaud / 10.0;   // 11520

// Answers and blocks.
constexpr size_t kPedalStateSize = 2;                                  // version, mode/patch
constexpr size_t kGlobalsSize = kGlobalsRecordSize;                    // the global record
constexpr size_t kGlobalsHeadSize = 3;                                 // record bytes 0..2 travel last
constexpr size_t kGlobalsTailSize = kGlobalsSize - kGlobalsHeadSize;   // bytes 3..33 travel first
constexpr int kLibraryBlocks = 64;
constexpr size_t kLibraryBlockSize = 512;
constexpr size_t kFirmwarePageSize = 256;
constexpr int kFirmwarePages = 256;
constexpr size_t kFirmwareImageSize = kFirmwarePageSize * kFirmwarePages;   // 64 KiB
constexpr size_t kReadAllSize = kPresetImageSize;                           // 512 + 512 + 96 + 384
// The pedal's arp library: Sequence I..IV of each arp algorithm, laid out as
// the factory table (arp/FactoryArpTable.h), in the last library blocks.
constexpr size_t kArpTableSize = kArpFactoryTableSize;   // 896
// The library blocks: the algorithm images, the display data right after
// them, and the arp table in the last blocks.
constexpr int kFirstDisplayBlock = kAlgorithmCount;   // 38
constexpr int kFirstArpBlock = kLibraryBlocks - int((kArpTableSize + kLibraryBlockSize - 1) / kLibraryBlockSize);   // 62
// One library block and one firmware page as they travel, and as their echoes come back.
using LibraryBlock = std::array<uint8_t, kLibraryBlockSize>;
using FirmwarePage = std::array<uint8_t, kFirmwarePageSize>;

// Requests and request heads, command byte included.
constexpr size_t kStoreHeaderSize = 1 + kPresetRecordSize;         // 48, then two programs
constexpr size_t kSetGlobalsSize = 1 + kGlobalsSize;               // 35
constexpr size_t kChangeCoreSize = 1 + kPresetParametersSize;      // 36
constexpr size_t kGetArpSize = 4;                                  // + algorithm, engine, selector
constexpr size_t kSetArpSize = 5 + kArpSequenceSize;               // 37
constexpr size_t kFirmwareAddressSize = 3;                         // update mode, then one page
constexpr size_t kSetVersionSize = 3;                              // update mode

// Command bytes, first byte of every request.
namespace cmd {
constexpr uint8_t kReadPresetFirst = 0x00;    // 0x00..0x3F, slot in the low 6 bits
constexpr uint8_t kStorePresetFirst = 0x40;   // 0x40..0x7F
constexpr uint8_t kLibraryBlockFirst = 0x80;  // 0x80..0xBF
constexpr uint8_t kTargetMask = 0x3F;         // slot or block in a ranged command
constexpr uint8_t kGetPedalState = 0xC0;
constexpr uint8_t kGetGlobals = 0xC1;
constexpr uint8_t kSetGlobals = 0xC2;
constexpr uint8_t kChangeCore = 0xC3;
constexpr uint8_t kReadAll = 0xC4;
constexpr uint8_t kWriteDataX = 0xC5;
constexpr uint8_t kWriteDataY = 0xC6;
constexpr uint8_t kGetArpData = 0xC7;        // normal mode
constexpr uint8_t kFirmwarePage = 0xC7;      // update mode
constexpr uint8_t kSetArpData = 0xC8;        // normal mode
constexpr uint8_t kSetVersion = 0xC8;        // update mode
constexpr uint8_t kSendOneMessage = 0xCF;    // update mode: back to normal operation
}  // namespace cmd

}  // namespace kv
