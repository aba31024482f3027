#include "ops/SlotRun.h"

#include "ops/Failure.h"
#include "ops/Slots.h"
#include "ops/Texts.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kv::ops {

namespace {

bool same_record(const PresetRecord& a, const PresetRecord& b)
{
    return std::memcmp(a.data(), b.data(), kPresetRecordSize) == 0;
}

// What a move had in its slots before it began, to tell which presets a
// failed run took off the pedal and put nowhere else.
struct BeforeRun {
    const uint8_t* image = nullptr;   // null: nothing to keep (a setlist overwrites on purpose)
    int first = 0, last = -1;         // the slots read into `image`
    std::string keep_folder;
};

// The presets that were in the slots the run wrote or left unknown and that
// no slot is known to hold now.
std::vector<std::pair<int, PresetRecord>> displaced(const SlotRunResult& r, const BeforeRun& before)
{
    std::vector<std::pair<int, PresetRecord>> out;
    auto touched = [&](int s) {
        return s == r.failed_slot || std::find(r.done.begin(), r.done.end(), s) != r.done.end();
    };
    auto held_now = [&](const PresetRecord& rec) {
        for (const PresetRecord& now : r.records)
            if (same_record(now, rec)) return true;
        for (int s = before.first; s <= before.last; ++s)
            if (!touched(s) && same_record(image_record(before.image, s), rec)) return true;
        return false;
    };
    for (int s = before.first; s <= before.last; ++s) {
        if (!touched(s)) continue;
        const PresetRecord old = image_record(before.image, s);
        if (held_now(old)) continue;
        if (std::any_of(out.begin(), out.end(), [&](const auto& k) { return same_record(k.second, old); })) continue;
        out.emplace_back(s, old);
    }
    return out;
}

// Stores each (slot, record) in order with progress; stops at the first failure.
SlotRunResult run(UsbLink& link, Reporter& report, const std::vector<std::pair<int, PresetRecord>>& plan,
                  const ProgramBuilder& build, SlotRunResult r, const std::string& title, const char* ok_label,
                  const char* error_label, const BeforeRun& before = {})
{
    const LocalTime when = report.now();
    const size_t total = plan.size();
    report.progress(0, std::nullopt, Bar::Level);
    for (const auto& [slot, record] : plan) {
        const RecordStore stored = store_record_verified(link, slot, record, build);
        if (!stored.ok()) {
            r.failed_slot = slot;
            r.link = stored.link;
            r.outcome = stored.stored ? SlotRunResult::Outcome::VerifyFailed : SlotRunResult::Outcome::StoreFailed;
            report.alert(read_write_failed_text());
            std::string second = "  > Preset " + std::to_string(slot + 1) + " failed; rewritten and verified: " +
                                 slot_list_text(r.done) + ".";
            report.status(when, "  " + title + " failed.", second);
            report.status(r.backup_path.empty() ? "  > No safety backup was taken."
                                                : "  > The presets as they were are kept in " + r.backup_path +
                                                      ": restore it to go back.");
            if (r.backup_path.empty() && before.image)
                r.kept = keep_displaced(link, report, before.keep_folder, displaced(r, before));
            report.progress(100, error_label, Bar::Error);
            return r;
        }
        r.done.push_back(slot);
        r.records.push_back(record);
        report.progress(100.0 * double(r.done.size()) / double(total), std::nullopt, Bar::Level);
        report.count("rewritten", int(r.done.size()), int(total));
    }
    r.outcome = SlotRunResult::Outcome::Done;
    report.status(when, "  " + title + " successful.",
                  "  > " + std::to_string(r.done.size()) + " preset(s) stored and verified.");
    report.progress(100, ok_label, Bar::Level);
    return r;
}

}  // namespace

std::string slot_list_text(const std::vector<int>& slots)
{
    if (slots.empty()) return "none";
    std::string out;
    for (int s : slots) out += (out.empty() ? "Preset " : ", Preset ") + std::to_string(s + 1);
    return out;
}

std::vector<std::pair<int, PresetRecord>> move_plan(const uint8_t* image, int from, int to)
{
    std::vector<std::pair<int, PresetRecord>> plan;
    if (!slot_valid(from) || !slot_valid(to) || from == to) return plan;
    const int step = to > from ? 1 : -1;
    // Slot s (from .. to - step) takes the preset of s + step; `to` takes `from`'s.
    for (int s = from; s != to; s += step) {
        const PresetRecord next = image_record(image, s + step);
        const PresetRecord now = image_record(image, s);
        if (std::memcmp(next.data(), now.data(), kPresetRecordSize) != 0) plan.emplace_back(s, next);
    }
    const PresetRecord moved = image_record(image, from);
    const PresetRecord there = image_record(image, to);
    if (std::memcmp(moved.data(), there.data(), kPresetRecordSize) != 0) plan.emplace_back(to, moved);
    return plan;
}

SlotRunResult move_slot(UsbLink& link, Reporter& report, int from, int to, const ProgramBuilder& build,
                        const std::string& backup_folder, OnBackupFailure on_failure,
                        const std::string& keep_folder)
{
    SlotRunResult r;
    if (!slot_valid(from) || !slot_valid(to) || from == to) return r;
    const GuardResult guard = guard_with_backup(link, report, backup_folder, "moving a preset", on_failure);
    if (!guard.proceed) return r;

    std::array<uint8_t, kPresetImageSize> image{};
    if (guard.backup.ok) {
        r.backup_path = guard.backup.path;
        image = guard.backup.image;
    } else {
        // No backup: read the slots concerned, one by one.
        for (int s = std::min(from, to); s <= std::max(from, to); ++s) {
            const std::optional<PresetRecord> read = link.read_preset(s);
            if (!read) {
                r.outcome = SlotRunResult::Outcome::ReadFailed;
                report_failure(report,
                               {.alert = read_write_failed_text(),
                                .first = "  Move operation failed.",
                                .second = kNoChangesLine,
                                .label = "Move error"});
                return r;
            }
            set_image_record(image.data(), s, *read);
        }
    }
    const auto plan = move_plan(image.data(), from, to);
    return run(link, report, plan, build, r,
               "Move operation (Preset " + std::to_string(from + 1) + " to Preset " + std::to_string(to + 1) + ")",
               "Move complete", "Move error",
               BeforeRun{image.data(), std::min(from, to), std::max(from, to), keep_folder});
}

SlotRunResult write_slots(UsbLink& link, Reporter& report, int first, const std::vector<PresetRecord>& records,
                          const ProgramBuilder& build, const std::string& backup_folder, OnBackupFailure on_failure,
                          const std::string& what)
{
    SlotRunResult r;
    if (records.empty() || !slot_valid(first) || !slot_valid(first + int(records.size()) - 1)) return r;
    const GuardResult guard = guard_with_backup(link, report, backup_folder, "sending " + what + " to the pedal", on_failure);
    if (!guard.proceed) return r;
    if (guard.backup.ok) r.backup_path = guard.backup.path;
    std::vector<std::pair<int, PresetRecord>> plan;
    for (size_t i = 0; i < records.size(); ++i) plan.emplace_back(first + int(i), records[i]);
    return run(link, report, plan, build, r, what, "Send complete", "Send error");
}

} // namespace kv::ops
