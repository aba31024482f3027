#pragma once
// Reorganising the pedal's slots: copying one slot's preset over another and
// swapping the presets of two slots. A slot's whole content is its 47-byte
// record (parameters with the S and B switches, and the title) and the two
// engine programs; the pedal returns only the record, so the programs are
// built again from the parameters (the caller's ProgramBuilder, the same the
// editor uses). Every store is the verified store with its one retry
// (ops/Transfers.h), and each slot written is read back and compared with the
// record it should now hold.
//
// Swap order, and what a failure leaves: the first preset is stored into the
// second slot, read back, and only then the second preset into the first
// slot. Before anything is stored the swap takes a safety backup of all
// presets (ops/AutoBackup.h) unless the caller gave no folder; a failure then
// leaves
//   - after the first store failed: the first slot unchanged, the second slot
//     unknown;
//   - after the second store failed: the second slot holding the first
//     preset (verified), the first slot unknown;
// and both presets as they were before the swap in the safety backup, which
// Menu > Restore or `korvane restore FILE` writes back. The result also
// carries both records as read, so the caller can say which preset is where.

#include "ops/AutoBackup.h"
#include "ops/Migration.h"
#include "ops/Reporter.h"
#include "link/UsbLink.h"
#include "preset/PresetRecord.h"

#include <string>
#include <utility>
#include <vector>

namespace kv {
class AlgorithmLibrary;
}

namespace kv::ops {


struct SlotMoveResult {
    enum class Outcome {
        Moved,          // stored and verified
        Refused,        // bad slots, or the safety backup failed and the user stopped
        ReadFailed,     // a preset could not be read: nothing was stored
        StoreFailed,    // a store failed (see failed_slot)
        VerifyFailed,   // a slot read back differently (see failed_slot)
    };
    Outcome outcome = Outcome::Refused;
    int failed_slot = -1;        // the slot whose store or check failed
    LinkResult link;             // StoreFailed: the store's result
    PresetRecord first{};        // copy: the source; swap: slot a as it was
    PresetRecord second{};       // swap: slot b as it was
    int slots_changed = 0;       // slots stored and verified
    std::string backup_path;     // swap: the safety backup, when one was made
    bool ok() const { return outcome == Outcome::Moved; }
};

// Copies slot `from` over slot `to` (0 to 31, different). Reported: two status
// lines, the progress ("Copy complete" / "Copy error"), the read/write failure
// dialog on failure. The caller has asked before overwriting `to`.
SlotMoveResult copy_slot(UsbLink& link, Reporter& report, int from, int to, const ProgramBuilder& build);

// Exchanges the presets of slots a and b (0 to 31, different). With a
// backup_folder the safety backup is taken first (on_failure says whether
// to ask or refuse when it fails). Reported like copy_slot ("Swap complete"
// / "Swap error"); after a failure the status lines name the backup to
// restore from.
SlotMoveResult swap_slots(UsbLink& link, Reporter& report, int a, int b, const ProgramBuilder& build,
                          const std::string& backup_folder, OnBackupFailure on_failure);

// Presets a run that stopped part-way took off the pedal and put nowhere
// else, each with the slot it came from. Each is printed (its 47 bytes in
// hex) in a status line and on the console and, with a folder (created when
// missing), saved there as an offline preset file named
// "Preset <n> kept <date> <time>.lop", which `korvane write SLOT FILE` or the
// offline prompt's "Add preset from file(s)" puts back. Returns the files
// written; one that cannot be written is said in a status line (the hex
// line stays the record).
std::vector<std::string> keep_displaced(UsbLink& link, Reporter& report, const std::string& folder,
                                        const std::vector<std::pair<int, PresetRecord>>& displaced);

// What store_record_verified came to.
struct RecordStore {
    bool stored = false;   // the store went through (its programs echoed alike)
    LinkResult link;       // the store's result, or the read-back's after it
    bool ok() const { return stored && link.ok(); }
};

// A 47-byte record stored in `slot` with programs from `build`, the one retry,
// then read back and compared: a read-back that differs is an echo mismatch.
RecordStore store_record_verified(UsbLink& link, int slot, const PresetRecord& record, const ProgramBuilder& build);

} // namespace kv::ops
