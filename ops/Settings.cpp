#include "ops/Settings.h"

#include "link/PedalWire.h"
#include "ops/Failure.h"
#include "ops/Texts.h"

namespace kv::ops {

static_assert(kGlobalsRecordSize == kGlobalsSize);
static_assert(kAuxContacts == kGlobalsHeadSize);

namespace {
constexpr double kStoreSettle = 0.1;   // seconds between SET_GLOBALS and the read-back
}

std::optional<GlobalsRecord> read_globals(UsbLink& link)
{
    return link.get_globals();
}

std::string set_globals_failed_text()
{
    return std::string("USB communication error has occurred when trying to set Global Configuration.\n\n  Is your "
                       "pedal connected via USB?\n\n  Try recycling power to the pedal and give it another go.\n\n") +
           "< Direct support email : " + kSupportEmail + " >";
}

bool send_globals(UsbLink& link, Reporter& report, const GlobalsRecord& record)
{
    report.progress(10, std::nullopt, Bar::Level);
    // SET_GLOBALS has no answer: a pedal that is deaf or gone takes it without
    // a word. The settings count as set only once the pedal gives them back.
    const bool ok = load_globals(link, record) == LoadOutcome::Verified;
    if (ok) {
        report.message("Global Configuration setup complete.");
        report.status("  Global Config. setup complete.");
        report.progress(100, "Global setup complete", Bar::Level);
    } else {
        report_failure(report,
                       {.alert = set_globals_failed_text(),
                        .first = "  > Global Config. setup failed. Please try again.",
                        .label = "error"});
    }
    return ok;
}

AuxMigration migrate_aux_codes(UsbLink& link, Reporter& report, GlobalsRecord& editor_copy)
{
    AuxMigration r;
    const std::optional<GlobalsRecord> read = read_globals(link);
    if (!read) {
        report.status("  Global Config. could not be read after the update.",
                      "  > AUX switch actions were not converted. Please check them in Global Settings.");
        return r;
    }
    r.read = true;
    editor_copy = migrated_aux_codes(*read);
    r.written = link.set_globals_record(editor_copy.bytes.data());
    return r;
}

LoadOutcome load_globals(UsbLink& link, const GlobalsRecord& record, GlobalsRecord* read_back)
{
    if (!link.set_globals_record(record.bytes.data())) return LoadOutcome::WriteFailed;
    // SET_GLOBALS has no answer: give the record a moment on the wire and
    // into the pedal's memory before asking for it.
    link.pause(kStoreSettle, false);
    const std::optional<GlobalsRecord> back = read_globals(link);
    if (!back) return LoadOutcome::ReadBackFailed;
    if (read_back) *read_back = *back;
    return *back == record ? LoadOutcome::Verified : LoadOutcome::Mismatch;
}

} // namespace kv::ops
