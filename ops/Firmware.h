#pragma once
// Replacing the pedal's firmware while it waits in update mode: reading a
// firmware package (.fdt), sending the image page by page with each page
// echoed and compared, telling the pedal its new version, and converting the
// stored presets and the global record for the new firmware. Also leaving
// update mode without an update ('Send One Message').
//
// A package is a text header and binary data:
//   line 1       its first character is the version character
//   line 2       its first character is the patch character
//   line 3       N, the number of release-note lines
//   N lines      the release notes
//   the rest     two images of equal length, A then B
// A character c stands for c - 0x37 from ':' upward, else c - 0x30 (so 0-9
// and A-Z give 0 to 35); the version value carries the major number in bits
// 4 to 6 and the minor in bits 0 to 3. Each header and note line is shorter
// than 99 characters. Pedals whose serial number, read as a number from its
// sixth character, is 497 or more take image B.
//
// A package that could not be sent whole is refused when it is read: nothing
// of it reaches the pedal. A page exchange that fails or times out, or an
// echo that differs, stops the update at that page; the pedal stays in update
// mode for another attempt.

#include "link/UsbLink.h"
#include "ops/Connect.h"
#include "ops/Migration.h"
#include "ops/Reporter.h"
#include "preset/PedalVersion.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv::ops {

// Why a package was refused.
enum class PackageFault {
    NoFault,
    Unreadable,    // missing, not a regular file, too large, or unreadable
    ShortHeader,   // fewer than three header lines, or an empty version or patch line
    LineTooLong,   // a header or note line of 99 characters or more
    BadNoteCount,  // negative, or more notes than the lines that follow
    NoData,        // no image bytes after the notes
};

// The value a version or patch character stands for.
uint8_t package_character_value(char c);

struct FirmwarePackage {
    static constexpr size_t kMaxLineLength = 98;   // characters before the newline

    uint8_t version = 0;              // version value (major bits 4-6, minor bits 0-3)
    uint8_t patch = 0;                // patch value
    std::vector<std::string> notes;   // release notes, without their newlines
    std::vector<uint8_t> data;        // both images

    int major() const { return version_major(version); }
    int minor() const { return version_minor(version); }
    // "Firmware %d.%d.%d".
    std::string version_text() const;
    // Bytes in each image: half the data, cut to a whole number.
    size_t image_size() const { return data.size() / 2; }
    // Whether a pedal with this serial number takes image B.
    static bool takes_image_b(const std::string& serial_number);
    // The image for a pedal.
    std::span<const uint8_t> image_for(const std::string& serial_number) const;
    // Pages of 256 bytes an image fills (the last one padded), before the cap.
    size_t pages_needed() const { return (image_size() + kFirmwarePageSize - 1) / kFirmwarePageSize; }
    // Pages sent: at most 256 (64 KiB).
    int pages_sent() const;
    // Page `index` of the image for a pedal: 256 bytes, zero past the image.
    std::vector<uint8_t> page(const std::string& serial_number, int index) const;
};

struct PackageRead {
    std::optional<FirmwarePackage> package;
    PackageFault fault = PackageFault::NoFault;
    int error_number = 0;   // for an unreadable file the errno value of its reason (ENOENT, EACCES, ENODEV, EFBIG, EIO), else 0
    bool ok() const { return package.has_value(); }
};

// The package in memory; never fails with Unreadable.
PackageRead parse_firmware_package(std::span<const uint8_t> bytes);
// The file read without blocking, as a regular file, up to a size limit
// (platform/SafeFile.h).
PackageRead read_firmware_package(const std::string& path);

// Browsing a package: read it; a refused package is reported with the
// firmware-file alert, the progress "File error" and the status line with its
// error code; a good one with "  Firmware package file ready.".
PackageRead browse_firmware_package(Reporter& report, const std::string& path);

// "To update your pedal's firmware do the following : ..." (the menu entry).
std::string firmware_instructions_text();

enum class FirmwareOutcome {
    PackageGone,     // the package could not be read again: reported, nothing sent
    NoLibrary,       // presets must be converted but the algorithm library is unusable: reported, nothing sent
    PageFailed,      // a page exchange failed or timed out: reported as a USB problem
    EchoMismatch,    // a page came back different: "Update aborted"
    Updated,         // every page sent; version set, presets converted, reported
};

struct FirmwareUpdate {
    std::string package_path;
    PedalInfo before;                 // what Get Pedal State said at connect (picks the conversion)
    std::string library_path;         // the algorithm library, for presets that are stored again
};

struct FirmwareResult {
    FirmwareOutcome outcome = FirmwareOutcome::PackageGone;
    int pages_total = 0;
    int pages_sent = 0;               // pages echoed correctly
    bool version_set = false;
    std::optional<MigrationRule> rule;
    bool aux_migrated = false;
    MigrationResult migration;        // the read after the update (migration.read)
    bool read_ok() const { return outcome == FirmwareOutcome::Updated && migration.read.ok(); }
    // The panel closes: the transfer ran (whatever its end).
    bool transfer_ended() const { return outcome != FirmwareOutcome::PackageGone && outcome != FirmwareOutcome::NoLibrary; }
};

// "Update Now": read the package again, send its pages, Set Version, pause,
// read everything (converting the presets of firmware older than 2.3.0),
// then the AUX code migration where the conversion asks for it. The image
// and the global record are the window's (or the session's).
FirmwareResult update_firmware(UsbLink& link, Reporter& report, const FirmwareUpdate& request, PresetImage image,
                               std::span<uint8_t, kGlobalsSize> globals);

enum class CancelOutcome {
    NotSent,    // 'Send One Message' failed: reported; update mode goes on
    TooOld,     // left update mode, but the firmware is older than 2.3.0: the too-old alert was shown
    Left,       // left update mode; read.ok() tells whether the presets were read
};

struct CancelResult {
    CancelOutcome outcome = CancelOutcome::NotSent;
    EverythingRead read;
};

// "Cancel": 'Send One Message', then (when it went) the cancel alert and
// line, `left()` (the caller closes the panel), a pause, the version check
// and reading everything.
CancelResult cancel_update(UsbLink& link, Reporter& report, const PedalInfo& before, PresetImage image,
                           const std::function<void()>& left = {});

} // namespace kv::ops
