#include "ops/Firmware.h"

#include "ops/Backup.h"
#include "ops/Failure.h"
#include "ops/Library.h"
#include "ops/Settings.h"
#include "ops/Texts.h"
#include "platform/SafeFile.h"
#include "preset/AlgorithmLibrary.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace kv::ops {

namespace {

constexpr int kImageBSerial = 497;          // serial numbers from here on carry the second image
constexpr double kAfterVersionPause = 1.0;  // the pedal restarts on its new firmware
constexpr double kAfterCancelPause = 1.0;   // the pedal leaves update mode

std::string support_line() { return std::string("> < Direct support email : ") + kSupportEmail + " >"; }

std::string file_error_text()
{
    return "A problem is encountered while trying to access the firmware file.\n\n  The file may be corrupted or is "
           "being used by another program.";
}

std::string page_failed_text()
{
    return "USB communication problem has been detected.\n\n  Try recycling power to the pedal, click 'Connect', then "
           "try again.\n\n" +
           support_line();
}

std::string echo_mismatch_text()
{
    return "Firmware Update process has been aborted due to detected errors. Please try again.\n\n> If necessary, "
           "recycle power supplied to the pedal then click 'Connect'.\n\n" +
           support_line();
}

std::string update_done_text()
{
    return "Firmware has been successfully updated.\n\nThere is just one more step to complete the update process:\n~ "
           "when this firmware update window closes, go to Menu -> UPDATE LIBRARY.";
}

std::string cancel_failed_text()
{
    return " USB communication problem is detected.\n\n Please recycle the power supplied to the pedal then click "
           "'Connect'.";
}

std::string cancelled_text()
{
    return " You've chosen to cancel the firmware update process.\n\n Update session will now exit and you can now "
           "continue with normal operation of your pedal.";
}

// atoi without its undefined overflow: leading blanks, a sign, digits; the
// magnitude stops growing at a value far above any count a file could hold.
long parse_count(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\v' || s[i] == '\f' || s[i] == '\r')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min(v * 10 + (s[i] - '0'), long(INT_MAX));
    return negative ? -v : v;
}

// One line from `pos`: its text without the newline (and a '\r' before it).
// False when no newline ends it.
bool next_line(std::span<const uint8_t> bytes, size_t& pos, std::string& line)
{
    // An empty file has no data pointer to search.
    if (pos >= bytes.size()) return false;
    const uint8_t* begin = bytes.data() + pos;
    const uint8_t* end = bytes.data() + bytes.size();
    const uint8_t* nl = static_cast<const uint8_t*>(std::memchr(begin, '\n', size_t(end - begin)));
    if (!nl) return false;
    line.assign(reinterpret_cast<const char*>(begin), size_t(nl - begin));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = size_t(nl - bytes.data()) + 1;
    return true;
}

PackageRead refused(PackageFault fault, int error_number)
{
    PackageRead r;
    r.fault = fault;
    r.error_number = error_number;
    return r;
}

constexpr const char* kUpdateFailedLine = "  > Firmware update operation failed. Please try again.";

// The error code a refused package is reported with: the system's for a file
// that could not be read, EINVAL for one whose contents are not a package.
int reported_error(const PackageRead& r) { return r.fault == PackageFault::Unreadable ? r.error_number : EINVAL; }

void report_file_error(Reporter& report, const LocalTime& when, const PackageRead& r)
{
    report_failure(
        report, when,
        {.alert = file_error_text(),
         .first = "  > Failed to open firmware package file - Error code : " + std::to_string(reported_error(r)) + ".",
         .label = "File error",
         .bar_first = true});
}

} // namespace

uint8_t package_character_value(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return uint8_t(u >= 0x3A ? u - 0x37 : u - 0x30);
}

std::string FirmwarePackage::version_text() const
{
    char b[48];
    std::snprintf(b, sizeof b, "Firmware %d.%d.%d", major(), minor(), int(patch));
    return b;
}

bool FirmwarePackage::takes_image_b(const std::string& serial_number)
{
    if (serial_number.size() <= 5) return false;
    return parse_count(std::string_view(serial_number).substr(5)) >= kImageBSerial;
}

std::span<const uint8_t> FirmwarePackage::image_for(const std::string& serial_number) const
{
    const size_t h = image_size();
    return std::span<const uint8_t>(data).subspan(takes_image_b(serial_number) ? h : 0, h);
}

int FirmwarePackage::pages_sent() const { return int(std::min(pages_needed(), size_t(kFirmwarePages))); }

std::vector<uint8_t> FirmwarePackage::page(const std::string& serial_number, int index) const
{
    std::vector<uint8_t> out(kFirmwarePageSize, 0);
    const auto image = image_for(serial_number);
    const size_t start = size_t(std::max(index, 0)) * kFirmwarePageSize;
    // A page never takes bytes of the other image: past its image it is zero.
    if (start < image.size()) {
        const size_t n = std::min(kFirmwarePageSize, image.size() - start);
        std::memcpy(out.data(), image.data() + start, n);
    }
    return out;
}

PackageRead parse_firmware_package(std::span<const uint8_t> bytes)
{
    size_t pos = 0;
    std::string header[3];
    for (auto& line : header) {
        if (!next_line(bytes, pos, line)) return refused(PackageFault::ShortHeader, 0);
        if (line.size() > FirmwarePackage::kMaxLineLength) return refused(PackageFault::LineTooLong, 0);
    }
    // The version and patch are the first characters: a line without one
    // would send whatever the newline stands for.
    if (header[0].empty() || header[1].empty()) return refused(PackageFault::ShortHeader, 0);

    FirmwarePackage p;
    p.version = package_character_value(header[0][0]);
    p.patch = package_character_value(header[1][0]);
    const long count = parse_count(header[2]);
    if (count < 0) return refused(PackageFault::BadNoteCount, 0);
    for (long i = 0; i < count; ++i) {
        std::string note;
        if (!next_line(bytes, pos, note)) return refused(PackageFault::BadNoteCount, 0);
        if (note.size() > FirmwarePackage::kMaxLineLength) return refused(PackageFault::LineTooLong, 0);
        p.notes.push_back(std::move(note));
    }
    p.data.assign(bytes.begin() + std::ptrdiff_t(pos), bytes.end());
    // Fewer than two bytes give two empty images and not a single page.
    if (p.image_size() == 0) return refused(PackageFault::NoData, 0);

    PackageRead r;
    r.package = std::move(p);
    return r;
}

// The errno value a file error is reported with.
static int error_number(FileError e)
{
    switch (e) {
    case FileError::NoError: return 0;
    case FileError::NotFound: return ENOENT;
    case FileError::NoAccess: return EACCES;
    case FileError::NotRegular: return ENODEV;
    case FileError::TooLarge: return EFBIG;
    case FileError::OpenFailed:
    case FileError::ReadFailed: return EIO;
    }
    return EIO;
}

PackageRead read_firmware_package(const std::string& path)
{
    // Two 64 KiB images and their notes fit many times over.
    const FileRead f = read_file_limited(path, kDataFileLimit);
    if (!f) return refused(PackageFault::Unreadable, error_number(f.error));
    return parse_firmware_package(f.bytes);
}

PackageRead browse_firmware_package(Reporter& report, const std::string& path)
{
    const LocalTime when = report.now();
    PackageRead r = read_firmware_package(path);
    if (!r.ok()) {
        report_file_error(report, when, r);
        return r;
    }
    report.status(when, "  Firmware package file ready.", "");
    return r;
}

std::string firmware_instructions_text()
{
    return "To update your pedal's firmware do the following :\n\n  1. Download the latest firmware package.\n\n  2. "
           "Shutdown this software and remove power from your pedal.\n\n  3. Hold down both footswitches while "
           "re-applying power.\n      Release when the screen displays FIRMWARE UPDATE.\n\n  4. Make sure the pedal "
           "is connected to your computer.\n\n  5. Start this software again. A prompt window will pop up, load the "
           "firmware\n      file you've just downloaded and click 'Update'.";
}

namespace {

// Every page in order, each checked against its echo. False (the outcome and
// the failure reported) at the first page that fails.
bool send_pages(UsbLink& link, Reporter& report, const LocalTime& when, const FirmwarePackage& package,
                const std::string& serial, FirmwareResult& r)
{
    for (int i = 0; i < r.pages_total; ++i) {
        const std::vector<uint8_t> page = package.page(serial, i);
        FirmwarePage echo{};
        if (!link.write_firmware_page(uint16_t(i * int(kFirmwarePageSize)), page.data(), &echo).ok()) {
            // A timeout too: nothing says the page arrived.
            report_failure(
                report, when,
                {.alert = page_failed_text(), .first = kUpdateFailedLine, .label = "Update failed", .bar_first = true});
            r.outcome = FirmwareOutcome::PageFailed;
            return false;
        }
        if (std::memcmp(echo.data(), page.data(), kFirmwarePageSize) != 0) {
            report_failure(report, when,
                           {.alert = echo_mismatch_text(),
                            .first = "  > Update aborted due to errors. Please try again.",
                            .label = "Update aborted"});
            r.outcome = FirmwareOutcome::EchoMismatch;
            return false;
        }
        ++r.pages_sent;
        const float value = float(i + 1) * 100.0f / float(r.pages_total);
        char label[16];
        std::snprintf(label, sizeof label, "%3.0f%%", double(value));
        report.progress(value, std::string_view(label), Bar::Level);
        report.count("page", r.pages_sent, r.pages_total);
    }
    return true;
}

// The presets read back on the new firmware: through the migration rule
// (with the global record's AUX codes where the rule says so) or as they are.
void read_back_after_update(UsbLink& link, Reporter& report, const AlgorithmLibrary& library, PresetImage image,
                            std::span<uint8_t, kGlobalsSize> globals, FirmwareResult& r)
{
    if (!r.rule) {
        r.migration.read = read_everything(link, report, image);
        return;
    }
    r.migration = read_everything_migrating(link, report, *r.rule, image, library_program_builder(library));
    if (migrates_aux_codes(*r.rule)) {
        GlobalsRecord record;
        std::memcpy(record.bytes.data(), globals.data(), kGlobalsSize);
        r.aux_migrated = migrate_aux_codes(link, report, record).ok();
        std::memcpy(globals.data(), record.bytes.data(), kGlobalsSize);
    }
}

} // namespace

FirmwareResult update_firmware(UsbLink& link, Reporter& report, const FirmwareUpdate& request, PresetImage image,
                               std::span<uint8_t, kGlobalsSize> globals)
{
    FirmwareResult r;
    const LocalTime when = report.now();

    // The package is read again: it may have changed or gone since browsing.
    const PackageRead read = read_firmware_package(request.package_path);
    if (!read.ok()) {
        report_file_error(report, when, read);
        r.outcome = FirmwareOutcome::PackageGone;
        return r;
    }
    const FirmwarePackage& package = *read.package;

    // Presets that the new firmware would misread are stored again, with
    // programs built from the algorithm library: without a usable library
    // they would be stored with blank programs. Refuse before sending.
    r.rule = migration_rule(request.before.firmware_version, request.before.pedal_mode);
    AlgorithmLibrary library;
    if (r.rule && !library.load(request.library_path)) {
        report_failure(report, when,
                       {.alert = library_file_text(AlgorithmLibrary::kFileName),
                        .first = kUpdateFailedLine,
                        .label = "Update failed",
                        .bar_first = true});
        r.outcome = FirmwareOutcome::NoLibrary;
        return r;
    }

    link.console("Number of pages = " + std::to_string(int(package.pages_needed())) + "\n");
    r.pages_total = package.pages_sent();
    if (!send_pages(link, report, when, package, request.before.serial_number, r)) return r;

    // Its outcome is on the console only: the pages are in the pedal.
    r.version_set = link.set_version(package.version, package.patch);
    link.pause(kAfterVersionPause, false);

    read_back_after_update(link, report, library, image, globals, r);
    r.outcome = FirmwareOutcome::Updated;

    report.progress(100, "100%", Bar::Level);
    report.message(update_done_text());
    // Both lines carry the time "Update Now" was pressed.
    if (r.migration.read.ok()) {
        report.status(when, "  Firmware update complete.", "  Ready.");
        report.progress(100, "Read complete", Bar::Level);
    } else {
        report.status(when, "  Firmware update complete.", "");
    }
    return r;
}

CancelResult cancel_update(UsbLink& link, Reporter& report, const PedalInfo& before, PresetImage image,
                           const std::function<void()>& left)
{
    CancelResult r;
    const LocalTime when = report.now();
    if (!link.send_one_message()) {
        report.alert(cancel_failed_text());
        report.progress(0, "", Bar::Level);
        r.outcome = CancelOutcome::NotSent;
        return r;
    }
    report.alert(cancelled_text());
    report.status(when, "  Firmware update cancelled by user.", "");
    if (left) left();
    report.progress(0, std::nullopt, Bar::Level);

    link.pause(kAfterCancelPause, false);
    if (!PedalInfo::supported(before.firmware_version)) {
        report.alert(too_old_text());
        r.outcome = CancelOutcome::TooOld;
        return r;
    }
    r.outcome = CancelOutcome::Left;
    r.read = read_everything(link, report, image);
    if (r.read.ok()) {
        // Stamped, like the line before it, with the time Cancel was pressed.
        report.status(when, "  Ready.", "");
        report.progress(100, "Read complete", Bar::Level);
    }
    return r;
}

} // namespace kv::ops
