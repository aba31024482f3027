// `korvane copy FROM TO`: the preset of slot FROM, with its title and its S
// and B switches, stored over slot TO and read back.

#include "cli/Commands.h"
#include "cli/SlotArgs.h"

#include "ops/Backup.h"
#include "ops/Slots.h"
#include "platform/DataPaths.h"
#include "preset/AlgorithmLibrary.h"

namespace kv::cli {

int cmd_copy(Session& s)
{
    const Command& c = *find_command("copy");
    if (s.args.size() != 2) return s.usage_error(c, "copy takes two slots, FROM and TO");
    const auto from = slot_argument(s.args[0]);
    const auto to = slot_argument(s.args[1]);
    if (!from || !to) return s.usage_error(c, "slots are 1 to 32");
    if (*from == *to) return s.usage_error(c, "FROM and TO are the same slot");

    const AlgorithmLibrary library(data_path(AlgorithmLibrary::kFileName));
    if (!library.usable()) {
        s.err("korvane copy: " + data_path(AlgorithmLibrary::kFileName) +
              " could not be read; without it the presets' programs cannot be built.");
        return kUsage;
    }
    if (!s.connect()) return kFailed;
    if (!s.confirm("Copy " + slot_description(s.image, *from) + " over " + slot_description(s.image, *to) + "?"))
        return s.declined();

    const ops::SlotMoveResult r = ops::copy_slot(s.link(), s.report(), *from, *to, ops::library_program_builder(library));
    if (!r.ok()) return kFailed;
    s.out("Preset " + std::to_string(*to + 1) + " now holds \"" + printable_title(r.first.title) + "\" (verified).");
    return kOk;
}

} // namespace kv::cli
