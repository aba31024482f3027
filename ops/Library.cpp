#include "ops/Library.h"

#include "ops/Backup.h"
#include "ops/Failure.h"
#include "ops/Texts.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv::ops {

namespace {

constexpr double kBetweenStores = 0.05;   // the pedal settles a stored preset

std::string support_line() { return std::string("> < Direct support email : ") + kSupportEmail + " >"; }

std::string recovery_steps()
{
    return "\n\n> If problem persisted try one or more of the following :\n\n    * Recycle power to the pedal (unplug "
           "the power cable, re-plug, click 'Connect').\n\n    * Recycle the USB port (unplug the USB cable, re-plug, "
           "click 'Connect').\n\n    * Plug to other available USB port, then click 'Connect'.\n\n";
}

std::string not_connected_text()
{
    return "Pedal is not connected -\nMake sure pedal is powered & properly connected to the USB port, then try "
           "again." +
           recovery_steps() + support_line();
}

std::string library_failed_text()
{
    return "Library reset has failed due to erroneous data transfer.\nMake sure the pedal has clean and stable power "
           "source, then try again." +
           recovery_steps() + support_line();
}

std::string master_file_text()
{
    return "A problem is encountered while trying to access the Factory master file.\n\n The file may be corrupted or "
           "is missing.\n Try re-installing this software to solve this problem.\n\n" +
           support_line();
}

std::string reset_failed_text()
{
    return "Factory reset has failed due to erroneous data transfer.\nMake sure the pedal has clean and stable power "
           "source, then try again." +
           recovery_steps() + support_line();
}

std::string percent_label(double value)
{
    char b[16];
    std::snprintf(b, sizeof b, "%3.0f%%", value);
    return b;
}

constexpr const char* kLibraryFailedLine = "  > Library update failed. Please try again.";

void pedal_not_found(Reporter& report, const std::string& alert_text)
{
    const LocalTime when = report.now();
    report.alert(alert_text);
    report.status(when, "  Pedal is not found.", "  > Make sure pedal is powered up and connected to a USB port.");
    report.progress(0, std::nullopt, Bar::Level);
}

// One group of library blocks, each echoed and compared, retried once after
// a mismatch. A block that fails twice ends the group. Returns the errors.
struct BlockGroup {
    int first_block;
    std::span<const uint8_t> data;   // whole blocks
    const char* success_line;
    std::function<double(int k, int count)> progress_after;
    int blocks_before;   // blocks of the update before this group
    int blocks_total;    // blocks of the whole update
};

int write_group(UsbLink& link, Reporter& report, const BlockGroup& g, LibraryUpdateResult& result)
{
    int errors = 0;
    const int count = int(g.data.size() / kLibraryBlockSize);
    for (int k = 0; k < count; ++k) {
        const uint8_t* block = g.data.data() + size_t(k) * kLibraryBlockSize;
        const int number = g.first_block + k;
        // A failed exchange gets the same one retry as an echo that differs.
        LibraryBlock echo{};
        auto written = [&] { return link.write_library_block(number, block, &echo) &&
                                    std::memcmp(echo.data(), block, kLibraryBlockSize) == 0; };
        if (written()) {
            link.console(g.success_line);
            ++result.blocks_written;
        } else {
            link.console("--> Auto-retry triggered.\n");
            ++result.retries;
            if (written()) {
                link.console("--> Auto-retry successful.\n");
                ++result.blocks_written;
            } else {
                link.console("--> Auto-retry failed to fix.\n\n");
                ++errors;
                break;
            }
        }
        const double value = g.progress_after(k, count);
        report.progress(value, percent_label(value), Bar::Level);
        report.count("block", g.blocks_before + k + 1, g.blocks_total);
    }
    return errors;
}

class Hold {
public:
    explicit Hold(const std::function<void(bool)>& hold) : hold_(hold)
    {
        if (hold_) hold_(true);
    }
    ~Hold() { release(); }
    void release()
    {
        if (hold_ && held_) hold_(false);
        held_ = false;
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    const std::function<void(bool)>& hold_;
    bool held_ = true;
};

std::string in_folder(const std::string& folder, const char* name) { return folder + "/" + name; }

} // namespace

std::array<uint8_t, kGlobalsSize> factory_globals_record()
{
    std::array<uint8_t, kGlobalsSize> g{};
    g[0] = 3;
    g[1] = 10;
    g[2] = 2;
    g[3] = 0x60;
    g[4] = 0;
    for (size_t k = 0; k + 5 < kGlobalsSize; ++k) g[5 + k] = uint8_t(14 + k);
    return g;
}

std::string library_file_text(const std::string& file_name)
{
    return "A problem is encountered while trying to access the data file \"" + file_name +
           "\".\n\n The file may be corrupted or is missing.\n Try re-installing this software to solve this "
           "problem.\n\n" +
           support_line();
}

LibraryFilesRead read_library_files(const std::string& folder)
{
    LibraryFilesRead r;
    LibraryFiles files;
    if (!files.algorithms.load(AlgorithmLibrary::file_path(folder))) {
        r.bad_file = AlgorithmLibrary::kFileName;
        return r;
    }
    // The display data runs from block 38 up to the arp blocks and no further.
    const FileRead display = read_file_limited(in_folder(folder, kDisplayDataFile), kDataFileLimit);
    if (!display || display.bytes.size() > size_t(kMaxDisplayBlocks) * kLibraryBlockSize) {
        r.bad_file = kDisplayDataFile;
        return r;
    }
    const size_t blocks = (display.bytes.size() + kLibraryBlockSize - 1) / kLibraryBlockSize;
    files.display.assign(blocks * kLibraryBlockSize, 0);
    std::copy(display.bytes.begin(), display.bytes.end(), files.display.begin());

    const FileRead arp = read_file_limited(in_folder(folder, kArpDataFile), kDataFileLimit);
    if (!arp || arp.bytes.size() < kArpTableSize) {
        r.bad_file = kArpDataFile;
        return r;
    }
    files.arp.assign(2 * kLibraryBlockSize, 0);
    std::copy_n(arp.bytes.begin(), kArpTableSize, files.arp.begin());
    r.files = std::move(files);
    return r;
}

LibraryUpdateResult update_library(UsbLink& link, Reporter& report, const std::string& data_folder,
                                   std::string& serial_number, const std::function<void(bool)>& hold,
                                   const BeforeWriting& before_writing)
{
    LibraryUpdateResult r;
    if (!link.setup_device(serial_number)) {
        pedal_not_found(report, not_connected_text());
        r.outcome = MaintenanceOutcome::NotFound;
        return r;
    }
    const LibraryFilesRead files = read_library_files(data_folder);
    if (!files.files) {
        report_failure(
            report,
            {.alert = library_file_text(files.bad_file), .first = kLibraryFailedLine, .label = "Library update error"});
        r.outcome = MaintenanceOutcome::BadFile;
        return r;
    }
    if (report.choice("Proceed to update the Algorithm Library in your pedal?", "Cancel", "Proceed", nullptr) != 1 ||
        (before_writing && !before_writing())) {
        r.outcome = MaintenanceOutcome::Declined;
        return r;
    }

    Hold held(hold);
    const LibraryFiles& f = *files.files;
    std::vector<uint8_t> algorithms(size_t(kAlgorithmCount) * kLibraryBlockSize);
    for (int a = 0; a < kAlgorithmCount; ++a)
        std::memcpy(algorithms.data() + size_t(a) * kLibraryBlockSize, f.algorithms.image(a).data(), kDspProgramSize);

    // After a failed group the next one is still written.
    int errors = 0;
    const int algorithm_blocks = int(algorithms.size() / kLibraryBlockSize);
    const int display_blocks = int(f.display.size() / kLibraryBlockSize);
    const int total = algorithm_blocks + display_blocks + int(f.arp.size() / kLibraryBlockSize);
    errors += write_group(link, report,
                          {0, algorithms, "--> Algorithm write successful.\n\n",
                           [](int k, int) { return double(k) * 80.0 / double(kAlgorithmCount); }, 0, total},
                          r);
    errors += write_group(link, report,
                          {kFirstDisplayBlock, f.display, "--> Display data write successful.\n\n",
                           [](int k, int count) { return 80.0 + double(k) * 16.0 / double(count); },
                           algorithm_blocks, total},
                          r);
    errors += write_group(link, report,
                          {kFirstArpBlock, f.arp, "--> Arp data write successful.\n\n",
                           [](int k, int) { return 96.0 + double(k); }, algorithm_blocks + display_blocks, total},
                          r);
    r.errors = errors;

    const LocalTime when = report.now();
    if (errors == 0) {
        report.message("Algorithm Library in your pedal is now updated.");
        report.status(when, "  > Library update successful.", "");
        report.progress(100, "Library update OK", Bar::Level);
        r.outcome = MaintenanceOutcome::Done;
    } else {
        report_failure(report, when,
                       {.alert = library_failed_text(), .first = kLibraryFailedLine, .label = "Library update error"});
        r.outcome = MaintenanceOutcome::Failed;
    }
    return r;
}

FactoryResetResult factory_reset(UsbLink& link, Reporter& report, const std::string& data_folder,
                                 std::string& serial_number, PresetImage image,
                                 std::span<uint8_t, kGlobalsSize> globals, const std::function<void(bool)>& hold,
                                 const BeforeWriting& before_writing)
{
    FactoryResetResult r;
    if (!link.setup_device(serial_number)) {
        pedal_not_found(report, not_found_text());
        r.outcome = MaintenanceOutcome::NotFound;
        return r;
    }
    if (report.choice("Proceed to reset your pedal to factory setting?", "Cancel", "Proceed", nullptr) != 1 ||
        (before_writing && !before_writing())) {
        r.outcome = MaintenanceOutcome::Declined;
        return r;
    }

    {
        Hold held(hold);
        // A master file of any other size is not a set of 32 presets.
        const FileRead master = read_file_limited(in_folder(data_folder, kFactoryPresetsFile), kDataFileLimit);
        AlgorithmLibrary library;
        if (!master || master.bytes.size() != kPresetImageSize) {
            report.alert(master_file_text());
            r.outcome = MaintenanceOutcome::BadFile;
        } else if (!library.load(AlgorithmLibrary::file_path(data_folder))) {
            // Presets stored without their programs would be silent.
            report.alert(library_file_text(AlgorithmLibrary::kFileName));
            r.outcome = MaintenanceOutcome::BadFile;
        } else {
            std::memcpy(image.data(), master.bytes.data(), kPresetImageSize);
            // As a restore writes a backup: each store verified by its echo,
            // the first failure ends it, then everything is read back.
            const WriteAllResult written = write_all(link, report, image, library_programs(library));
            r.stored = written.failure == WriteAllResult::Failure::Store ? written.slot : kSlotCount;
            r.verified = written.ok();
            const bool ok = written.ok();
            if (ok) {
                link.pause(kBetweenStores, true);
                const auto factory = factory_globals_record();
                std::copy(factory.begin(), factory.end(), globals.begin());
                // The presets are back whatever becomes of the globals.
                r.globals_sent = link.set_globals_record(globals.data());
                report.message("Your pedal has been restored to factory setting.");
                r.outcome = MaintenanceOutcome::Done;
            } else {
                report.alert(reset_failed_text());
                r.outcome = MaintenanceOutcome::Failed;
            }
        }

        const LocalTime when = report.now();
        if (r.outcome == MaintenanceOutcome::Done) {
            report.status(when, "  > Factory reset successful.", "");
            report.progress(100, "Factory reset OK", Bar::Level);
        } else {
            // Its dialog came with the failure itself.
            report_failure(report, when,
                           {.first = "  > Factory reset failed. Please try again.", .label = "Factory reset error"});
        }
    }

    // The presets as the pedal now holds them, also after a failure.
    r.read = read_everything(link, report, image);
    report.progress(100, std::nullopt, Bar::Level);
    return r;
}

} // namespace kv::ops
