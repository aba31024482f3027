#pragma once
// Rewriting several slots in one go: moving a preset to another slot so the
// slots between shift along (the preset pages' drag and drop, `korvane
// move`), and writing a setlist into consecutive slots. Both take a safety
// backup of all presets first (ops/AutoBackup.h), store each slot with the
// verified store and its one retry (ops/Slots.h), move the progress bar by
// slots, and stop at the first slot that fails. A failure names the slots
// already rewritten (each verified) and the safety backup that puts the
// pedal back as it was.

#include "ops/AutoBackup.h"
#include "ops/Migration.h"
#include "ops/Reporter.h"
#include "link/UsbLink.h"
#include "preset/PresetRecord.h"

#include <string>
#include <utility>
#include <vector>

namespace kv::ops {

struct SlotRunResult {
    enum class Outcome {
        Done,           // every slot stored and verified
        Refused,        // bad slots or nothing to write; or the safety backup failed and the user stopped
        ReadFailed,     // the presets to move could not be read: nothing was stored
        StoreFailed,    // a store failed (failed_slot), the slots in `done` hold their new presets
        VerifyFailed,   // a slot read back differently (failed_slot)
    };
    Outcome outcome = Outcome::Refused;
    std::vector<int> done;        // slots stored and verified, in order
    std::vector<PresetRecord> records;   // what each slot of `done` now holds
    int failed_slot = -1;
    LinkResult link;              // the failed store's (or read-back's) result
    std::string backup_path;      // the safety backup, when one was made
    std::vector<std::string> kept;   // move without a backup that failed: files of the presets it displaced
    bool ok() const { return outcome == Outcome::Done; }
};

// The slots `from` to `to` (0 to 31) after the preset of `from` is moved to
// `to`: the presets between shift one slot towards `from`. A list of
// (slot, record) for each slot whose content changes, in storing order,
// from the records of the slots as they are (`image`, 1504 bytes).
std::vector<std::pair<int, PresetRecord>> move_plan(const uint8_t* image, int from, int to);

// Moves the preset of slot `from` to slot `to`. Reads the slots from the
// pedal (the safety backup's image when one was taken), then stores each
// changed slot. Reported: status lines, "Move complete" / "Move error".
// `keep_folder` (normally the safety backups' folder, also with no backup
// taken) receives the displaced presets of a failed run without a backup.
SlotRunResult move_slot(UsbLink& link, Reporter& report, int from, int to, const ProgramBuilder& build,
                        const std::string& backup_folder, OnBackupFailure on_failure,
                        const std::string& keep_folder);

// Writes records into consecutive slots from `first` (all must fit below
// 32). `what` names the run in the question and the lines ("Setlist
// \"Friday\""). Reported: "Send complete" / "Send error".
SlotRunResult write_slots(UsbLink& link, Reporter& report, int first, const std::vector<PresetRecord>& records,
                          const ProgramBuilder& build, const std::string& backup_folder, OnBackupFailure on_failure,
                          const std::string& what);

// "Preset 5, Preset 6" / "none" for a list of slots (0-based).
std::string slot_list_text(const std::vector<int>& slots);

} // namespace kv::ops
