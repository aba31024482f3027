#pragma once
// Moving one preset between the editor and the pedal: reading a slot,
// storing the edited preset with its verification and one automatic retry,
// and the live previews of edits and of offline presets.
//
// A store is verified twice: the programs by their echo, the parameters and
// title by reading the slot back. It is retried once, and only when one of
// those differed (result 255); a timeout or a USB error fails at once. The previews change only what the
// pedal plays: its stored presets change only through a store.

#include "ops/Connect.h"
#include "ops/Reporter.h"
#include "link/UsbLink.h"
#include "preset/PresetRecord.h"
#include "preset/PreviewRequest.h"

#include <optional>

namespace kv::ops {

// A preset as the editor holds it: parameters, title and both programs.
struct EditedPreset {
    PresetParameters parameters{};
    PresetTitle title{};
    DspProgram program_x{};
    DspProgram program_y{};
};

struct SlotRead {
    bool ok = false;
    PresetRecord record{};
    EngineSequences sequences;
};

// Read preset of `slot` and the arp sequences of its engines, reported: two
// status lines, the progress label "Read complete" / "Read error", the
// read/write failure dialog; the progress ends at 0, "r e a d y".
SlotRead read_slot(UsbLink& link, Reporter& report, int slot);

struct StoreResult {
    LinkResult link{LinkStatus::timeout};   // the last attempt's result; ok when stored and verified
    bool retried = false;                   // the first check differed and the store ran again
    bool read_back_failed = false;          // the failure was the read-back: an echo mismatch when
                                            // the record differed, else why it did not come
    bool ok() const { return link.ok(); }
};

// Store preset, then Read preset of the slot with the 47-byte record compared
// to what was sent (the programs are echoed by the store; the header is
// not), with the one retry after either differed; console lines only
// ("--> Auto-retry triggered." / "--> Auto-retry successful."). A read-back
// that does not come fails at once, as a timeout does.
StoreResult store_preset(UsbLink& link, int slot, const EditedPreset& preset);

// The WRITE button: store_preset, then the status lines, the progress
// ("Write complete" / "Write error") and, after a failure, the dialog.
StoreResult write_slot(UsbLink& link, Reporter& report, int slot, const EditedPreset& preset);

struct PreviewResult {
    LinkResult link;                           // the command's result
    bool ok() const { return link.ok(); }
    std::optional<ArpSequence> sequence;       // sequence_x / sequence_y: what the pedal sent
};

// The editor's preview request: Change Core, Write Data of one program, or
// GET_ARPDATA of one engine's sequence; then "parameter change ok." or
// "parameter change OFFLINE.". The caller skips it while offline.
PreviewResult preview_edit(UsbLink& link, Reporter& report, PreviewRequest request, const EditedPreset& preset);

// Change Core with a parameter block and its status line (the expression
// editor's mapping previews this way).
LinkResult preview_parameters(UsbLink& link, Reporter& report, const PresetParameters& parameters);

// An offline preset played on the pedal: Change Core, Write Data X, Change
// Core, Write Data Y with 50 ms between them (no events), then the arp
// sequences of its engines. Nothing is reported; nothing is stored.
EngineSequences preview_offline(UsbLink& link, const EditedPreset& preset);

// The edited preset played again after an offline preset was added from a
// file or the prompt was cancelled: Change Core, Write Data Y, Change Core,
// Write Data X with 50 ms between them (no events). No arp sequence is
// fetched; nothing is reported or stored.
void preview_added(UsbLink& link, const EditedPreset& preset);

} // namespace kv::ops
