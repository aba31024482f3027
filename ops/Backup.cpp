#include "ops/Backup.h"

#include <algorithm>

#include "library/core/BackupFile.h"
#include "ops/Failure.h"
#include "ops/Texts.h"
#include "platform/AtomicFile.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/ProgramImage.h"
#include "preset/RecordCheck.h"

#include <algorithm>
#include <array>
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
    return "A problem is encountered while trying to access the backup file.\n\n  The file may be corrupted or is "
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
        const LinkResult stored = link.store_preset(slot, params, title, built.x, built.y);
        if (!stored.ok()) {
            r.failure = WriteAllResult::Failure::Store;
            r.slot = slot;
            r.link = stored;
            return r;
        }
        report.progress(100, kWorkingLabel, Bar::Level);
        report.count("slot", slot + 1, kSlotCount);
        link.pause(kStoreGap, true);
    }
    if (!read_all_matches(link, image)) r.failure = WriteAllResult::Failure::Verify;
    return r;
}

bool read_all_to_file(UsbLink& link, std::FILE* file, PresetImage image)
{
    return link.read_all(image, [&](int batch, std::span<const uint8_t> part) {
        if (std::fwrite(part.data(), 1, part.size(), file) == part.size()) return true;
        link.console("ReadAll (Params - Batch " + std::to_string(batch) + ") has FAILED writing to backup file!\n");
        return false;
    });
}

bool read_all_matches(UsbLink& link, ConstPresetImage reference)
{
    std::array<uint8_t, kPresetImageSize> got{};
    size_t offset = 0;
    const bool read = link.read_all(got, [&](int batch, std::span<const uint8_t> part) {
        const bool same = std::equal(part.begin(), part.end(), reference.begin() + std::ptrdiff_t(offset));
        offset += part.size();
        if (!same) link.console("ReadBack (Params - Batch " + std::to_string(batch) + ") has FAILED verification!\n");
        return same;
    });
    return read && std::equal(got.begin() + kPresetImageTitlesOffset, got.end(),
                              reference.begin() + kPresetImageTitlesOffset);
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
        report_failure(
            report, when,
            {.alert = error + "\n\nFailed to create the backup file; any earlier file of that name is unchanged.",
             .first = "  Backup operation failed.",
             .second = "  > " + error,
             .label = "Backup failed"});
        return r;
    };

    // The transfer goes into a file beside the backup; the backup itself is
    // replaced only once everything has arrived and is on disk.
    AtomicFile out(path);
    if (!out.is_open()) return cannot_write(out.commit().message(), BackupResult::Outcome::CreateFailed);

    std::array<uint8_t, kPresetImageSize> image{};
    bool transferred = read_all_to_file(link, out.stream(), image);
    if (transferred) transferred = out.write(image.data() + kPresetImageTitlesOffset, kTitlesSize);
    // A disk that filled up is not the pedal's fault: say so as a file error.
    if (std::ferror(out.stream())) out.fail(errno);
    const bool file_failed = std::ferror(out.stream()) != 0;
    if (!transferred && !file_failed) {
        out.abandon();
        r.outcome = BackupResult::Outcome::TransferFailed;
        report_failure(report, when,
                       {.alert = backup_failed_text(),
                        .first = "  Backup operation failed.",
                        .second = "  > No backup file was written. Please try again.",
                        .label = "Backup failed"});
        return r;
    }
    const WriteResult written = out.commit();
    if (!written) return cannot_write(written.message(), BackupResult::Outcome::WriteFailed);

    r.outcome = BackupResult::Outcome::Written;
    report.message("Backup complete.\n\nBackup file : " + path);
    report.status(when, "  File write operation OK.", "  > Backup file created.");
    report.progress(100, "Backup complete", Bar::Level);
    return r;
}

std::string restored_slots_text(int failed_slot)
{
    const int failed = std::clamp(failed_slot, 0, kSlotCount - 1) + 1;   // as the user counts
    std::string text;
    if (failed == 2) text = "slot 1 holds the backup's preset; ";
    else if (failed > 2) text = "slots 1 to " + std::to_string(failed - 1) + " hold the backup's presets; ";
    text += "slot " + std::to_string(failed) + " may hold the backup's preset or its old one";
    if (failed == kSlotCount - 1) text += "; slot " + std::to_string(kSlotCount) + " is unchanged";
    else if (failed < kSlotCount - 1)
        text += "; slots " + std::to_string(failed + 1) + " to " + std::to_string(kSlotCount) + " are unchanged";
    return text + ".";
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
        report_failure(
            report, when,
            {.alert = backup_file_problem_text(),
             .first = "  Failed to open selected backup file - Error code : " + std::to_string(file.error) + ".",
             .second = "  > " + file.reason,
             .label = "File error",
             .bar_first = true});
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
        report_failure(report, when,
                       {.alert = restore_failed_text(),
                        .first = "  > Preset restore failed. Please try again.",
                        .label = "Preset restore error"});
    }
    return r;
}

} // namespace kv::ops
