#pragma once
// Backup files: all 32 presets of the pedal in one file of exactly 1504
// bytes, the image that Read All delivers (32 parameter blocks of 35 bytes,
// slot 0 first, then the 32 titles of 12 bytes), with no header, version or
// checksum. A backup is named from the local date and time, in sortable
// order, "Tessivar_Backup_YYYY-MM-DD_HH-MM-SS.bkp", in the presets folder;
// when that name is taken the next free "..._2.bkp", "..._3.bkp" is used, so
// a backup never replaces another.
//
// A file read for a restore must be exactly 1504 bytes: anything shorter or
// longer is refused before a byte goes to the pedal. Reading goes through
// read_file_limited (platform/SafeFile.h: no blocking, regular files only, limited).
// Toolkit-free; errors are values.

#include "platform/Platform.h"
#include "preset/PresetRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

constexpr size_t kBackupFileSize = kPresetImageSize;   // 1504
constexpr size_t kBackupFileReadLimit = 64 * 1024;      // far above 1504; a bigger file is refused unread

// "Tessivar_Backup_YYYY-MM-DD_HH-MM-SS.bkp"; copy 2 and later end "_<copy>.bkp".
std::string backup_file_name(const LocalTime& date, int copy = 1);
// folder (ending with "/") + the first backup_file_name(date, copy) that is
// not there yet.
std::string backup_file_path(const std::string& folder, const LocalTime& date);

struct BackupFile {
    std::array<uint8_t, kBackupFileSize> image{};
    int error = 0;              // errno of the failure (EINVAL for a wrong size), 0 when read
    std::string reason;         // for the user: "cannot read ...", "... is 12 bytes long, ..."
    bool ok() const { return error == 0; }
};

BackupFile read_backup_file(const std::string& path);

}  // namespace kv
