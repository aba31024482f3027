// `korvane copy FROM TO`: the preset of slot FROM, with its title and its S
// and B switches, stored over slot TO and read back.

#include "cli/Commands.h"
#include "cli/SlotArgs.h"
#include "cli/TwoSlots.h"

#include "ops/Slots.h"

namespace kv::cli {

int cmd_copy(Session& s)
{
    const TwoSlotCommand copy{
        .name = "copy",
        .count_error = "copy takes two slots, FROM and TO",
        .same_error = "FROM and TO are the same slot",
        .library = usable_library,
        .question =
            [](Session& s, int from, int to) {
                return "Copy " + slot_description(s.image, from) + " over " + slot_description(s.image, to) + "?";
            },
    };
    return run_two_slots(s, copy, [&](int from, int to, const ops::ProgramBuilder& build, const std::string&) {
        const ops::SlotMoveResult r = ops::copy_slot(s.link(), s.report(), from, to, build);
        if (!r.ok()) return int(kFailed);
        s.out("Preset " + std::to_string(to + 1) + " now holds \"" + printable_title(r.first.title) + "\" (verified).");
        return int(kOk);
    });
}

} // namespace kv::cli
