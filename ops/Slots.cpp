#include "ops/Slots.h"

#include "ops/Backup.h"
#include "ops/Failure.h"
#include "ops/Texts.h"
#include "ops/Transfers.h"
#include "library/core/OfflinePresets.h"
#include "platform/AtomicFile.h"

#include <cstdio>
#include <cstring>

namespace kv::ops {

namespace {

std::string preset_name(int slot) { return "Preset " + std::to_string(slot + 1); }

std::string quoted_title(const PresetRecord& r) { return "\"" + title_text(r.title) + "\""; }

bool slots_ok(int a, int b) { return slot_valid(a) && slot_valid(b) && a != b; }

std::string record_hex(const PresetRecord& r)
{
    std::string hex;
    char byte[4];
    for (size_t i = 0; i < kPresetRecordSize; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", r.data()[i]);
        hex += byte;
    }
    return hex;
}

// A copy or a swap ("Copy", "Swap") that failed: the read / write dialog,
// "  <name> operation failed." with `second`, and "<name> error" on the bar.
SlotMoveResult failed(Reporter& report, const LocalTime& when, SlotMoveResult r, SlotMoveResult::Outcome outcome,
                      const std::string& name, const std::string& second)
{
    r.outcome = outcome;
    report_failure(report, when,
                   {.alert = read_write_failed_text(),
                    .first = "  " + name + " operation failed.",
                    .second = second,
                    .label = name + " error"});
    return r;
}

} // namespace

std::vector<std::string> keep_displaced(UsbLink& link, Reporter& report, const std::string& folder,
                                        const std::vector<std::pair<int, PresetRecord>>& displaced)
{
    std::vector<std::string> files;
    if (displaced.empty()) return files;
    const LocalTime t = report.now();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, " kept %04d-%02d-%02d %02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    const bool have_folder = !folder.empty() && (is_directory(folder) || make_directory(folder));
    for (const auto& [slot, record] : displaced) {
        const std::string hex = record_hex(record);
        link.console("--> Preset " + std::to_string(slot + 1) + " as it was: " + hex + "\n");
        report.status("  > Preset " + std::to_string(slot + 1) + " as it was (" + quoted_title(record) + "): " + hex);
        if (!have_folder) continue;
        const std::string name = "Preset " + std::to_string(slot + 1) + stamp;
        std::string path = folder + (folder.back() == '/' ? "" : "/") + name + kPresetFileExtension;
        for (int n = 2; file_exists(path) && n < 100; ++n)
            path = folder + (folder.back() == '/' ? "" : "/") + name + "-" + std::to_string(n) + kPresetFileExtension;
        const WriteResult w = write_file_atomically(path, encode_preset_file(name, record));
        if (w) {
            files.push_back(path);
            report.status("  > Kept in " + path);
        } else {
            report.status("  > It could not be saved: " + w.message());
        }
    }
    return files;
}

RecordStore store_record_verified(UsbLink& link, int slot, const PresetRecord& record, const ProgramBuilder& build)
{
    RecordStore r;
    EditedPreset p;
    p.parameters = record.parameters;
    p.title = record.title;
    build(record.parameters, p.program_x, p.program_y);
    // store_preset reads the record back and compares it.
    const StoreResult stored = store_preset(link, slot, p);
    r.link = stored.link;
    r.stored = stored.ok() || stored.read_back_failed;
    return r;
}

SlotMoveResult copy_slot(UsbLink& link, Reporter& report, int from, int to, const ProgramBuilder& build)
{
    SlotMoveResult r;
    const LocalTime when = report.now();
    if (!slots_ok(from, to)) return r;

    auto fail = [&](SlotMoveResult::Outcome outcome, const std::string& second) {
        return failed(report, when, r, outcome, "Copy", second);
    };

    const std::optional<PresetRecord> from_record = link.read_preset(from);
    if (!from_record) return fail(SlotMoveResult::Outcome::ReadFailed, kNoChangesLine);
    r.first = *from_record;

    const RecordStore stored = store_record_verified(link, to, r.first, build);
    if (!stored.ok()) {
        r.failed_slot = to;
        r.link = stored.link;
        return fail(stored.stored ? SlotMoveResult::Outcome::VerifyFailed : SlotMoveResult::Outcome::StoreFailed,
                    "  > " + preset_name(to) + " may be incomplete. Please try again.");
    }
    r.slots_changed = 1;
    r.outcome = SlotMoveResult::Outcome::Moved;
    report.status(when, "  Copy operation successful.",
                  "  > " + preset_name(to) + " now holds " + quoted_title(r.first) + " from " + preset_name(from) + ".");
    report.progress(100, "Copy complete", Bar::Level);
    return r;
}

SlotMoveResult swap_slots(UsbLink& link, Reporter& report, int a, int b, const ProgramBuilder& build,
                          const std::string& backup_folder, OnBackupFailure on_failure)
{
    SlotMoveResult r;
    if (!slots_ok(a, b)) return r;

    const GuardResult guard = guard_with_backup(link, report, backup_folder, "swapping two presets", on_failure);
    if (!guard.proceed) return r;
    if (guard.backup.ok) r.backup_path = guard.backup.path;

    const LocalTime when = report.now();
    auto fail = [&](SlotMoveResult::Outcome outcome, const std::string& second) {
        return failed(report, when, r, outcome, "Swap", second);
    };

    const std::optional<PresetRecord> record_a = link.read_preset(a);
    if (!record_a) return fail(SlotMoveResult::Outcome::ReadFailed, kNoChangesLine);
    r.first = *record_a;
    const std::optional<PresetRecord> record_b = link.read_preset(b);
    if (!record_b) return fail(SlotMoveResult::Outcome::ReadFailed, kNoChangesLine);
    r.second = *record_b;

    // Where the presets are kept when a store fails half way.
    const std::string kept = r.backup_path.empty()
                                 ? std::string("  > Both presets are shown on the console; store them again by hand.")
                                 : "  > Both presets are kept in " + r.backup_path + ": restore it to undo the swap.";

    const int steps[2][2] = {{b, a}, {a, b}};   // {slot written, slot whose preset goes there}
    for (const auto& step : steps) {
        const int target = step[0];
        const PresetRecord& record = target == b ? r.first : r.second;
        const RecordStore stored = store_record_verified(link, target, record, build);
        if (!stored.ok()) {
            r.failed_slot = target;
            r.link = stored.link;
            if (r.backup_path.empty()) {
                // Without a backup the records must at least be somewhere the user can find them.
                for (const PresetRecord* rec : {&r.first, &r.second})
                    link.console("--> Preset " + std::to_string((rec == &r.first ? a : b) + 1) + " before the swap: " +
                                 record_hex(*rec) + "\n");
            }
            return fail(stored.stored ? SlotMoveResult::Outcome::VerifyFailed : SlotMoveResult::Outcome::StoreFailed,
                        kept);
        }
        ++r.slots_changed;
    }
    r.outcome = SlotMoveResult::Outcome::Moved;
    report.status(when, "  Swap operation successful.",
                  "  > " + preset_name(a) + " and " + preset_name(b) + " have changed places.");
    report.progress(100, "Swap complete", Bar::Level);
    return r;
}

} // namespace kv::ops
