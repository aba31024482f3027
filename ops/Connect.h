#pragma once
// Finding the pedal and reading it: the connect sequence that start-up and
// the Connect button run, and reading all presets (also run after a restore,
// a firmware update and a factory reset).
//
// The operations fill the caller's preset image and return what they found;
// the caller (the main window, the command line) shows it. Their dialogs and
// status lines go through the Reporter. Nothing here ends the process: a
// firmware too old to work with is the TooOld outcome, and the caller ends.

#include "arp/ArpSequence.h"
#include "link/UsbLink.h"
#include "ops/Reporter.h"
#include "preset/PedalVersion.h"
#include "preset/PresetRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv::ops {

// What Get Pedal State told, with the serial number of the bridge opened.
struct PedalInfo {
    std::string serial_number;   // empty when no pedal was found
    uint8_t firmware_version = 0;
    uint8_t pedal_mode = 0;

    int major() const { return shown_version_major(firmware_version); }
    int minor() const { return version_minor(firmware_version); }
    int patch() const { return mode_patch(pedal_mode); }
    // Bit 7 of the mode byte: normal operation (clear: update mode).
    bool normal() const { return mode_normal(pedal_mode); }
    // "%d.%d.%d" of major, minor and patch.
    std::string firmware_text() const;
    // 2.3.0 and later (majors 3 to 15 whatever the minor).
    static bool supported(uint8_t version_byte) { return version_supported(version_byte); }
};

using PresetImage = std::span<uint8_t, kPresetImageSize>;
// Each engine's arp sequence as the pedal sent it (index 0 DSP-X, 1 DSP-Y);
// empty for an engine that plays no arp algorithm or whose fetch failed.
using EngineSequences = std::array<std::optional<ArpSequence>, 2>;

// GET_ARPDATA for one engine of `params`: its arp algorithm and sequence
// selector. Nothing is asked for an engine that plays no arp algorithm (ids
// 31 to 37); *result (when given) is then ok. Otherwise *result is the
// command's result and the sequence is there only when it is ok.
std::optional<ArpSequence> fetch_sequence(UsbLink& link, const PresetParameters& params, Engine engine,
                                          LinkResult* result = nullptr);

// fetch_sequence for each engine of `params`.
EngineSequences fetch_sequences(UsbLink& link, const PresetParameters& params);

enum class ReadOutcome {
    Read,         // the image and slot 0 were read
    ReadAllFailed,// ReadAll failed: USB problem reported, the image as it was
    PedalGone,    // ReadAll worked, then the pedal stopped answering: USB problem reported
};

struct EverythingRead {
    ReadOutcome outcome = ReadOutcome::ReadAllFailed;
    PresetRecord slot0{};            // what the Dashboard shows
    bool slot0_from_image = false;   // the read of slot 0 failed; slot0 is Read All's copy
    EngineSequences sequences;
    bool ok() const { return outcome == ReadOutcome::Read; }
};

// Pause (pause_seconds, no events), ReadAll into image, read slot 0 and the
// arp sequences of its engines. Reports a failed ReadAll, and a pedal that is
// gone after it, as a USB problem (dialog and two lines).
// With read_all false the image is taken as it is (already read).
EverythingRead read_everything(UsbLink& link, Reporter& report, PresetImage image, double pause_seconds = 0.5,
                               bool read_all = true);

enum class ConnectOutcome {
    NotFound,     // no bridge could be opened
    UsbProblem,   // the pedal did not answer Get Pedal State
    UpdateMode,   // the pedal waits for firmware
    TooOld,       // firmware older than 2.3.0: the too-old alert was shown
    ReadFailed,   // normal mode, but reading everything failed (reported)
    Online,       // everything read
};

struct ConnectResult {
    ConnectOutcome outcome = ConnectOutcome::NotFound;
    PedalInfo pedal;
    EverythingRead read;   // Online and ReadFailed
    bool offer_taken = false;   // NotFound: the not-found dialog's second button was pressed
    bool online() const { return outcome == ConnectOutcome::Online; }
};

// The whole sequence. interactive: run from the Connect button (the
// "Connecting ..." line counted, the not-found dialog shown).
// access_hint, when given, is asked for one more line when no bridge opened
// (a pedal that is there but may not be opened). not_found_offer, when
// given, is a second button of the not-found dialog ("Close" the first);
// pressing it sets offer_taken.
ConnectResult connect(UsbLink& link, Reporter& report, bool interactive, PresetImage image,
                      std::string (*access_hint)() = nullptr, const char* not_found_offer = nullptr);

} // namespace kv::ops
