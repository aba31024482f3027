#pragma once
// Backup and restore of all 32 presets, and writing all presets from an
// image (the restore's and the factory reset's common step).
//
// backup: Read All straight into a temporary file beside the backup, then
// the titles, then the file is renamed into place. A transfer that fails, or
// a file that cannot be written, leaves any earlier backup of that name as it
// was and no partial file, and is reported as a failure.
//
// restore: the file must be exactly 1504 bytes ("File error" otherwise, and
// nothing is sent); then write_all. The caller asks first, keeps its
// controls inactive meanwhile and reads everything back afterwards.
//
// write_all: stores the 32 presets of an image, slot 0 first, each with the
// two programs built for its parameter block, then reads all back and
// compares parameters and titles. The first store that fails ends it (no
// retry here); the slots stored before keep their new contents.
//
// The questions are asked by the caller (the window with a dialog, the
// command line with --yes); their texts are here so both use the same.

#include "ops/Connect.h"
#include "ops/Migration.h"
#include "ops/Reporter.h"
#include "link/UsbLink.h"
#include "preset/PresetRecord.h"

#include <cstdio>
#include <functional>
#include <span>
#include <string>

namespace kv {
class AlgorithmLibrary;
}

namespace kv::ops {

using ConstPresetImage = std::span<const uint8_t, kPresetImageSize>;

constexpr const char* kBackupQuestion = "Proceed to create a backup for the presets stored in your pedal?";
constexpr const char* kRestoreQuestion = "Proceed to restore your pedal's presets from backup?";
constexpr const char* kWorkingLabel = "w o r k i n g ...";

// The two programs stored with a preset.
struct SlotPrograms {
    DspProgram x{};
    DspProgram y{};
};
// Builds the programs of a parameter block. The window and the command line
// both use library_programs; a caller may hand back the Dashboard's programs
// after loading the block into it, which are the same.
using ProgramsFor = std::function<SlotPrograms(const PresetParameters&)>;

// Programs from the algorithm library: each engine's library image with its
// secondary parameters patched, as the Dashboard builds them.
ProgramsFor library_programs(const AlgorithmLibrary& library);
// The same programs in the form the migration, the factory reset and the
// slot moves take them. The library must outlive the builder.
ProgramBuilder library_program_builder(const AlgorithmLibrary& library);

struct WriteAllResult {
    enum class Failure { NoFailure, Store, Verify };
    Failure failure = Failure::NoFailure;
    int slot = -1;    // Store: the slot (0 to 31) whose store failed
    LinkResult link;  // Store: the store's result
    bool ok() const { return failure == Failure::NoFailure; }
    // 0 success, 1 failure.
    int status() const { return ok() ? 0 : 1; }
};

// Stores slot 0 to 31 of `image` (parameters and titles exactly as in the
// image, programs from `programs`), showing "w o r k i n g ..." at 100 after
// each and pausing 50 ms (events processed) between stores; then Read All
// with the parameters compared to the image, and the titles compared. No
// dialog and no status line: the caller reports.
WriteAllResult write_all(UsbLink& link, Reporter& report, ConstPresetImage image, const ProgramsFor& programs);

// ReadAll into image, its 1120 parameter bytes written to `file` batch by
// batch as they come (each batch that cannot be written is said on the
// console). True when the transfer and every write went through.
bool read_all_to_file(UsbLink& link, std::FILE* file, PresetImage image);
// ReadAll compared with `reference`: each parameter batch (a batch that
// differs is said on the console) and the titles. True when all is equal.
bool read_all_matches(UsbLink& link, ConstPresetImage reference);

struct BackupResult {
    enum class Outcome { Written, CreateFailed, TransferFailed, WriteFailed };
    Outcome outcome = Outcome::CreateFailed;
    std::string path;
    std::string error;   // for CreateFailed and WriteFailed: "cannot write <path>: <reason>"
    bool ok() const { return outcome == Outcome::Written; }
};

// All presets of the pedal into `path` (the caller has asked). Reports:
// "Backup complete." and two lines, or the failure alert and two lines; the
// progress ends at 100 with "Backup complete" or "Backup failed". A file
// that cannot be written is reported with the system's reason first
// ("cannot write <path>: No space left on device").
BackupResult backup(UsbLink& link, Reporter& report, const std::string& path);

struct RestoreResult {
    enum class Outcome { Restored, FileError, WriteFailed };
    Outcome outcome = Outcome::FileError;
    WriteAllResult write;
    int file_error = 0;      // FileError: errno (EINVAL for a file that is not 1504 bytes)
    std::string reason;      // FileError: why the file was refused
    bool ok() const { return outcome == Outcome::Restored; }
};

// Reads the backup file into `image` and writes it (the caller has asked).
// A file that cannot be read, is not exactly 1504 bytes or holds a preset
// that breaks the editor's rules (preset/RecordCheck.h) gives the "File
// error" report and sends nothing (image untouched). Then as restore_image.
RestoreResult restore(UsbLink& link, Reporter& report, const std::string& path, PresetImage image,
                      const ProgramsFor& programs);
// write_all of an image already checked, reported: "Your pedal has been
// restored from backup." or the restore failure alert, one status line, and
// "Restore complete" / "Preset restore error" at 100.
RestoreResult restore_image(UsbLink& link, Reporter& report, ConstPresetImage image, const ProgramsFor& programs);

// What the slots hold after the store of `failed_slot` (0 to 31) failed
// during a restore: the slots before it hold the backup's presets, the
// failed one may already hold its new preset, the rest are unchanged.
// "slot 1 may hold the backup's preset or its old one; slots 2 to 32 are unchanged."
std::string restored_slots_text(int failed_slot);

// The alert after a failed restore and after a failed backup transfer.
std::string restore_failed_text();
std::string backup_failed_text();
// The alert when a backup file cannot be used.
std::string backup_file_problem_text();

} // namespace kv::ops
