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
        {"arp", "korvane arp show SLOT | korvane arp save ALGORITHM SEQUENCE (LEVEL... | factory N)",
         "show a preset's arp sequences, or store one into the pedal's sequence library",
         "arp show SLOT: for each engine of preset SLOT (1-32), its algorithm and, for\n"
         "an arp algorithm, the sequence it plays: the number of steps and each step's\n"
         "level on the editor's 0-100 scale.\n"
         "arp save ALGORITHM SEQUENCE LEVEL...: stores 4 to 8 levels (0-100, one a\n"
         "step) as SEQUENCE (1-4) of the arp algorithm (ARP.TR, ARP.FI, ARP.FO,\n"
         "ARP.FL, ARP.PH, ARP.RM, ARPGTR, or 31-37) in the pedal's sequence library,\n"
         "which every preset playing that sequence uses.\n"
         "arp save ALGORITHM SEQUENCE factory N: stores the algorithm's factory\n"
         "sequence N (1-4) from bin/arpdata.bin instead. Asks first; --yes answers.\n",
         cmd_arp},
    };
    return table;
}

} // namespace kv::cli
