#include "ops/Migration.h"

#include "ops/Failure.h"
#include "ops/Texts.h"
#include "ops/Transfers.h"

namespace kv::ops {

MigrationResult read_everything_migrating(UsbLink& link, Reporter& report, MigrationRule rule, PresetImage image,
                                          const ProgramBuilder& build)
{
    MigrationResult r;
    link.pause(1.0, false);
    const LocalTime when = report.now();
    if (!link.read_all(image)) {
        report_usb_problem(report, when);
        r.read.outcome = ReadOutcome::ReadAllFailed;
        return r;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EditedPreset p;
        p.parameters = image_parameters(image.data(), slot);
        p.title = image_title(image.data(), slot);
        if (!migrate_preset(p.parameters, rule)) continue;
        set_image_parameters(image.data(), slot, p.parameters);
        build(p.parameters, p.program_x, p.program_y);
        ++r.rewritten;
        if (!store_preset(link, slot, p).ok()) ++r.failed_stores;
    }
    // The rest as reading everything does, without its pause and ReadAll.
    r.read = read_everything(link, report, image, 0.0, /*read_all=*/false);
    return r;
}

} // namespace kv::ops
