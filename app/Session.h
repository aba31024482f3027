#pragma once
// The pedal session: what the main window's controllers share about the
// pedal and the edit. The link to the pedal and the reporter that shows what
// it does, the pedal's serial number, firmware version and mode, the image
// of all presets read from it, its global record, the edit's history with
// the Compare state, and the counters that say an exchange or a write is
// running. The window owns one; the controllers read and change it, and
// reach each other only through the window's callbacks, never directly.

#include "ops/Backup.h"
#include "ops/Connect.h"
#include "platform/Clock.h"
#include "library/KV_TransportPanel.h"
#include "preset/EditHistory.h"
#include "preset/PresetRecord.h"
#include "settings/GlobalsRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace kv {

class FtDriver;
class KV_UsbController;
class WindowReporter;

struct PedalSession {
    PedalSession();
    ~PedalSession();
    PedalSession(const PedalSession&) = delete;
    PedalSession& operator=(const PedalSession&) = delete;

    // --- how the pedal is reached and time is told ---
    FtDriver* driver = nullptr;
    std::unique_ptr<FtDriver> own_driver;   // the serial-port driver, when none was given
    Clock* clock = nullptr;
    // Asked for one more status line when no pedal could be opened; null: none.
    std::string (*access_hint)() = nullptr;
    // The link (a widget of the window, which owns it) and the reporter
    // that shows on the window what the link's operations report.
    KV_UsbController* link = nullptr;
    std::unique_ptr<WindowReporter> reporter;
    std::string presets_folder;

    // --- the pedal ---
    ops::PedalInfo pedal;        // serial number empty when no pedal was found
    std::string pedal_in_use;    // "Pedal in use (pid N)." when the last connect found it held
    // Every preset has been read from the pedal since the last connect began.
    bool online = false;
    std::array<uint8_t, kPresetImageSize> image{};   // all presets, as last read or written
    GlobalsRecord globals;                           // the editor's copy of the global record
    ops::PresetImage work_image() { return ops::PresetImage(image); }
    std::span<uint8_t, kGlobalsRecordSize> globals_bytes() { return std::span<uint8_t, kGlobalsRecordSize>(globals.bytes); }

    // --- exchanges and writes ---
    int busy = 0;      // exchanges running (nested)
    int writing = 0;   // writes to the pedal running
    std::string backed_up_serial;        // the pedal whose presets the last safety backup holds
    bool written_since_backup = true;    // a write to the pedal ran since that backup

    // --- the edit ---
    EditHistory history;
    bool comparing = false;
    bool compare_ready = false;     // the selected slot's stored preset is known (online)
    EditState compare_edit;         // the edit put aside while Compare plays the stored preset
    bool control_pending = false;   // a Control press toggled the rotors: recorded on its release
    bool unsaved_shown = false;     // the unsaved caption is drawn
    // The Library page steps to another preset while the editor holds,
    // unchanged, the one it picked before: nothing to lose, nothing asked.
    bool auditioning = false;

    // --- what the presets on the pedal offer the other controllers ---
    // Reads the selected slot into the editor again.
    std::function<void()> read_selected_slot;
    // A copy or swap of two slots; `asked`: the user has already chosen it.
    std::function<void(KV_TransportPanel::SlotEvent event, KV_TransportPanel::SlotAction slots, bool asked)>
        run_slot_action;
};

} // namespace kv
