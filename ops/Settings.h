#pragma once
// Reading and writing the pedal's global record (the AUX switches, favourite
// preset, pages, pad, footswitch B/X, tempo LED, MIDI channel and CC map).
// The pedal only ever takes the whole record: whoever changes part of it
// sends the rest as it was last read.
//
// The two settings panels open with read_globals() and confirm with
// send_globals(); the firmware update runs migrate_aux_codes(); the command
// line reads with read_globals() and loads a file with load_globals().

#include "link/UsbLink.h"
#include "ops/Reporter.h"
#include "settings/GlobalsRecord.h"

#include <optional>
#include <string>

namespace kv::ops {

// GET_GLOBALS: the pedal's record in record order; nothing when the pedal
// did not answer in full. Nothing is reported.
std::optional<GlobalsRecord> read_globals(UsbLink& link);

// Confirm on either settings panel: progress 10 %, SET_GLOBALS with the whole
// record, then "Global Configuration setup complete." or the failure alert,
// a status line and the progress label "Global setup complete" / "error".
bool send_globals(UsbLink& link, Reporter& report, const GlobalsRecord& record);

// The alert after a failed SET_GLOBALS, ending with the support address.
std::string set_globals_failed_text();

struct AuxMigration {
    bool read = false;      // GET_GLOBALS answered
    bool written = false;   // SET_GLOBALS with the migrated record went out
    bool ok() const { return written; }
};

// After a firmware update from before 2.2: read the record, raise the three
// AUX action codes by two (at most 15) and write it back; the editor's copy
// takes the record sent. The migration itself says nothing when it works. A
// record that could not be read is never written (it would put stale bytes
// over the pedal's settings): the failure is reported with two status lines
// and the editor's copy stays as it was.
AuxMigration migrate_aux_codes(UsbLink& link, Reporter& report, GlobalsRecord& editor_copy);

enum class LoadOutcome {
    Verified,        // written, read back, identical
    WriteFailed,     // SET_GLOBALS did not go out
    ReadBackFailed,  // written, but the pedal did not answer GET_GLOBALS
    Mismatch,        // the pedal holds something else than what was sent
};

// A whole record from a file onto the pedal: SET_GLOBALS, then GET_GLOBALS to
// see that the pedal keeps it. The caller has checked the record
// (record_problems()). `read_back` receives what the pedal answered.
LoadOutcome load_globals(UsbLink& link, const GlobalsRecord& record, GlobalsRecord* read_back = nullptr);

} // namespace kv::ops
