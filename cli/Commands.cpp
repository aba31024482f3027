#include "cli/Commands.h"

namespace kv::cli {

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {"list", "korvane list", "read all presets and print the pedal's 32 slots",
         "Prints the pedal's serial number and firmware version, then one line a slot:\n"
         "slot (1-32), bank-patch, title, the S (auto stomp) and B (bypass on program\n"
         "change) switches, and the algorithms of DSP-X and DSP-Y.\n",
         cmd_list},
    };
    return table;
}

} // namespace kv::cli
