#include "ops/Backup.h"

#include "library/core/BackupFile.h"
#include "ops/Texts.h"
#include "platform/AtomicFile.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/ProgramImage.h"
#include "preset/RecordCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kv::ops {

namespace {

// Between two stores the pedal is given a moment; the window keeps painting.
constexpr double kStoreGap = 0.05;

constexpr size_t kTitlesSize = kPresetImageSize - kPresetImageTitlesOffset;   // 384

} // namespace

std::string restore_failed_text()
{
    return "Preset restore has failed due to erroneous data transfer.\n Please try again." + recovery_advice();
}

std::string backup_failed_text()
{
    return "Backup has failed due to erroneous data transfer.\n Any earlier backup file of the same name is "
           "unchanged. Please try again." +
           recovery_advice();
}

std::string backup_file_problem_text()
{
    return "A problem is encountered while trying to access the backup file.\n\n  The file maybe corrupted or is "
           "being used by another program.";
}

ProgramsFor library_programs(const AlgorithmLibrary& library)
{
    return [&library](const PresetParameters& p) {
        const EnginePrograms built = engine_programs(library, p);
        return SlotPrograms{built.x, built.y};
    };
}

ProgramBuilder library_program_builder(const AlgorithmLibrary& library)
{
    return [programs = library_programs(library)](const PresetParameters& p, DspProgram& x, DspProgram& y) {
        const SlotPrograms built = programs(p);
        x = built.x;
        y = built.y;
    };
}

WriteAllResult write_all(UsbLink& link, Reporter& report, ConstPresetImage image, const ProgramsFor& programs)
{
    WriteAllResult r;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PresetParameters params = image_parameters(image.data(), slot);
        const PresetTitle title = image_title(image.data(), slot);
        const SlotPrograms built = programs(params);
        // The image's own bytes are stored, so that the read-back compares
        // equal; only the programs come from the editor.
        const int code = link.store_preset(slot, params, title, built.x, built.y);
        if (code != 0) {
            r.failure = WriteAllResult::Failure::Store;
            r.slot = slot;
            r.code = code;
            return r;
        }
        report.progress(100, kWorkingLabel, Bar::Level);
        report.count("slot", slot + 1, kSlotCount);
        link.pause(kStoreGap, true);
    }
    if (!link.read_all_to_backup(nullptr, image.data()) ||
        std::memcmp(link.buffer(), image.data() + kPresetImageTitlesOffset, kTitlesSize) != 0) {
        r.failure = WriteAllResult::Failure::Verify;
    }
    return r;
}

BackupResult backup(UsbLink& link, Reporter& report, const std::string& path)
{
    BackupResult r;
    r.path = path;
    const LocalTime when = report.now();
    auto cannot_write = [&](const std::string& error, BackupResult::Outcome outcome) {
        r.outcome = outcome;
        r.error = error;
        // The system's reason first (a full disk, a read-only folder), then
        // what it means for the backup.
        report.alert(error + "\n\nFailed to create the backup file; any earlier file of that name is unchanged.");
        report.status(when, "  Backup operation failed.", "  > " + error);
        report.progress(100, "Backup failed", Bar::Error);
        return r;
    };

    // The transfer goes into a file beside the backup; the backup itself is
    // replaced only once everything has arrived and is on disk.
    AtomicFile out(path);
    if (!out.is_open()) return cannot_write(out.commit().message(), BackupResult::Outcome::CreateFailed);

    bool transferred = link.read_all_to_backup(out.stream(), nullptr);
    if (transferred) transferred = out.write(link.buffer(), kTitlesSize);
    // A disk that filled up is not the pedal's fault: say so as a file error.
    if (std::ferror(out.stream())) out.fail(errno);
    const bool file_failed = std::ferror(out.stream()) != 0;
    if (!transferred && !file_failed) {
        out.abandon();
        r.outcome = BackupResult::Outcome::TransferFailed;
        report.alert(backup_failed_text());
        report.status(when, "  Backup operation failed.", "  > No backup file was written. Please try again.");
        report.progress(100, "Backup failed", Bar::Error);
        return r;
    }
    const WriteResult written = out.commit();
    if (!written) return cannot_write(written.message(), BackupResult::Outcome::WriteFailed);

    r.outcome = BackupResult::Outcome::Written;
    report.message("Backup complete.\n\nBackup file location : (Mac) - Documents/Brakwell/Korvane/presets/\n\n"
                   "                                : (Win) - C:/Brakwell/Korvane/presets/");
    report.status(when, "  File write operation OK.", "  > Backup file created.");
    report.progress(100, "Backup complete", Bar::Level);
    return r;
}

RestoreResult restore(UsbLink& link, Reporter& report, const std::string& path, PresetImage image,
                      const ProgramsFor& programs)
{
    const LocalTime when = report.now();
    BackupFile file = read_backup_file(path);
    // Presets the editor could not make sense of are not stored either.
    if (file.ok()) {
        if (const std::string problem = image_problem(file.image.data()); !problem.empty()) {
            file.error = EINVAL;
            file.reason = path + ": " + problem + ".";
        }
    }
    if (!file.ok()) {
        RestoreResult r;
        r.outcome = RestoreResult::Outcome::FileError;
        r.file_error = file.error;
        r.reason = file.reason;
        report.alert(backup_file_problem_text());
        report.progress(100, "File error", Bar::Error);
        report.status(when, "  Failed to open selected backup file - Error code : " + std::to_string(file.error) + ".",
                      "  > " + file.reason);
        return r;
    }
    std::memcpy(image.data(), file.image.data(), kPresetImageSize);
    return restore_image(link, report, image, programs);
}

RestoreResult restore_image(UsbLink& link, Reporter& report, ConstPresetImage image, const ProgramsFor& programs)
{
    RestoreResult r;
    r.write = write_all(link, report, image, programs);
    const LocalTime when = report.now();
    if (r.write.ok()) {
        r.outcome = RestoreResult::Outcome::Restored;
        report.message("Your pedal has been restored from backup.");
        report.status(when, "  > Presets restore successful.", {});
        report.progress(100, "Restore complete", Bar::Level);
    } else {
        r.outcome = RestoreResult::Outcome::WriteFailed;
        report.alert(restore_failed_text());
        report.status(when, "  > Preset restore failed. Please try again.", {});
        report.progress(100, "Preset restore error", Bar::Error);
    }
    return r;
}

} // namespace kv::ops
