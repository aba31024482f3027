#pragma once
// Safety backups: before an operation overwrites the pedal's presets (a
// restore, a factory reset, a firmware or library update, a swap of two
// slots) the program reads the 32 presets and the global record and keeps
// them in the presets folder's "autobackup/" subfolder, so that a click, a
// failed transfer or a bad package can never cost the user their sounds.
//
// Each safety backup is two files named by a sequence number and the local
// date and time:
//   Tessivar_AutoBackup_NNNNNN_YYYY-MM-DD_HH-MM-SS.bkp      the 1504-byte preset
//                                                   image (the backup format,
//                                                   so Menu > Restore and
//                                                   `korvane restore` take it)
//   Tessivar_AutoBackup_NNNNNN_YYYY-MM-DD_HH-MM-SS.globals  the 34-byte global
//                                                   record in record order
//                                                   (`korvane globals load`)
// Both are written to a temporary file and renamed into place. Only the ten
// newest backups are kept; older ones are removed after a new one has been
// written. "Newest" is the sequence number, one above the highest in the
// folder, never the date: a clock set back or a change of time zone cannot
// make a new backup look old. The date is there for the reader only. Only
// files with exactly this shape of name are ever removed (a user's own
// "Tessivar_AutoBackup_... keep.bkp" is left alone), each .bkp with its
// .globals; names of earlier versions (date only) count as older than all
// numbered ones. A backup the user is restoring from, and the one just
// written, are never removed.
//
// guard_with_backup is the one call an overwriting operation makes first: it
// backs up and, when that fails, asks whether to go on without a backup (the
// window) or refuses (the command line, unless the user gave --no-backup,
// which skips the backup altogether).

#include "link/UsbLink.h"
#include "ops/Reporter.h"
#include "platform/Platform.h"
#include "preset/PresetRecord.h"
#include "settings/GlobalsRecord.h"

#include <array>
#include <ctime>
#include <string>
#include <vector>

namespace kv::ops {

constexpr int kAutoBackupsKept = 10;
constexpr const char* kAutoBackupFolder = "autobackup";
constexpr const char* kAutoBackupPrefix = "Tessivar_AutoBackup_";

// "<presets folder>/autobackup/" for a presets folder with or without its
// trailing slash.
std::string auto_backup_folder(const std::string& presets_folder);
// "Tessivar_AutoBackup_000042_2026-12-07_10-48-05" (no extension).
std::string auto_backup_name(uint64_t sequence, const LocalTime& when);
// True for the .bkp name of a safety backup this program wrote.
bool is_auto_backup_name(const std::string& name);

struct AutoBackupResult {
    bool ok = false;
    std::string path;          // the .bkp written (when ok)
    std::string globals_path;  // the .globals written (when ok)
    std::string error;         // why not (when !ok)
    std::array<uint8_t, kPresetImageSize> image{};          // what was read
    std::array<uint8_t, kGlobalsRecordSize> globals{};      // record order
    int removed = 0;           // older backups removed to keep ten
};

// Reads all presets and the global record and writes the two files into
// `folder` (created when missing). Writes status lines only: "  Safety
// backup of the presets saved." and "  > <file name>", or "  Safety backup
// failed." and the reason. Nothing is written to the pedal.
// Files in `never_remove` (the backup a restore is about to use) survive the
// pruning that follows.
AutoBackupResult auto_backup(UsbLink& link, Reporter& report, const std::string& folder,
                             const std::vector<std::string>& never_remove = {});

// The .bkp files of safety backups in `folder`, oldest first (full paths).
std::vector<std::string> list_auto_backups(const std::string& folder);

// Removes all but the newest `keep` safety backups (both files of each),
// never one of `never_remove` (compared as files, not as names): the next
// older goes instead. Returns how many backups were removed.
int prune_auto_backups(const std::string& folder, int keep = kAutoBackupsKept,
                       const std::vector<std::string>& never_remove = {});

// Leftovers of runs that were killed: temporary files of our writes
// (".<name>.XXXXXX" for a backup, safety backup, .globals, offline preset,
// presets.lst, library.json, a setlist or an export) in the presets folder,
// its autobackup/ and setlists/, and safety
// backup .globals files whose .bkp is gone. Only what is older than
// kLeftoverAge (by the file's own time, against `now`) is removed, so the
// files of a program writing at this moment are left alone. Nothing else is
// touched; missing folders are fine. Returns how many files were removed.
constexpr double kLeftoverAge = 3600.0;
int remove_leftovers(const std::string& presets_folder, std::time_t now);

// What to do when the safety backup cannot be made.
enum class OnBackupFailure {
    Ask,      // the window: "Cancel" / "Continue" question
    Refuse,   // the command line: stop, the user may give --no-backup
};

struct GuardResult {
    bool proceed = false;
    AutoBackupResult backup;   // backup.ok when a backup was written
};

// The step an overwriting operation takes first. `what` names the operation
// in the question ("restoring the presets from a backup"). An empty folder
// means the user chose to go on without a backup: nothing is read, proceed.
// `never_remove`: as for auto_backup (a restore passes the file it restores).
GuardResult guard_with_backup(UsbLink& link, Reporter& report, const std::string& folder, const std::string& what,
                              OnBackupFailure on_failure, const std::vector<std::string>& never_remove = {});

// The question asked when the safety backup failed.
std::string backup_failed_question(const std::string& what, const std::string& reason);

} // namespace kv::ops
