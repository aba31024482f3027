#include "cli/Commands.h"

// What every command that writes a file says about its FILE (joined to the
// command's help text at compile time).
#define KV_OUTPUT_RULES                                                                  \
    "A FILE that is a symbolic link is followed to the regular file it names, which\n"   \
    "is replaced; a device, FIFO, socket or folder is refused (status 2).\n"

namespace kv::cli {

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {"list", "", "read all presets and print the pedal's 32 slots",
         "Prints the pedal's serial number and firmware version, then one line a slot:\n"
         "slot (1-32), bank-patch, title, the S (auto stomp) and B (bypass on program\n"
         "change) switches, and the algorithms of DSP-X and DSP-Y.\n",
         "--json", cmd_list},
        {"arp", "show SLOT | store ALGORITHM SEQUENCE (LEVEL... | factory N) | save ALGORITHM SEQUENCE (LEVEL... | factory N)",
         "show a preset's arp sequences, or store one into the pedal's sequence library",
         "arp show SLOT: for each engine of preset SLOT (1-32), its algorithm and, for\n"
         "an arp algorithm, the sequence it plays: the number of steps and each step's\n"
         "level on the editor's 0-100 scale.\n"
         "arp store ALGORITHM SEQUENCE LEVEL...: stores 4 to 8 levels (0-100, one a\n"
         "step) as SEQUENCE (1-4) of the arp algorithm (ARP.TR, ARP.FI, ARP.FO,\n"
         "ARP.FL, ARP.PH, ARP.RM, ARPGTR, or 31-37) in the pedal's sequence library,\n"
         "which every preset playing that sequence uses.\n"
         "arp store ALGORITHM SEQUENCE factory N: stores the algorithm's factory\n"
         "sequence N (1-4) from bin/arpdata.bin instead. Asks first; --yes answers.\n"
         "arp save: the former name of arp store, which it still runs (\"store\" puts\n"
         "something into the pedal, \"save\" into a file or the library).\n",
         "--yes --json", cmd_arp,
         {{"show", "SLOT", "a preset's engines and the arp sequences they play", "--json"},
          {"store", "ALGORITHM SEQUENCE (LEVEL... | factory N)", "store a sequence into the pedal", "--yes"},
          {"save", "ALGORITHM SEQUENCE (LEVEL... | factory N)", "the former name of store", "--yes", "store"}}},
        {"backup", "[FILE]", "save the pedal's 32 presets into a backup file",
         "Reads all presets and writes them into FILE (1504 bytes). Without FILE the\n"
         "backup goes into the presets folder as Tessivar_Backup_YYYY-MM-DD_HH-MM-SS.bkp\n"
         "(with _2, _3 ... added should that name be taken: no backup replaces another).\n"
         "Prints the path written. A transfer that fails leaves an earlier file of that\n"
         "name as it was. FILE \"-\" writes the 1504 bytes to standard output.\n" KV_OUTPUT_RULES,
         "", cmd_backup},
        {"restore", "FILE", "write the 32 presets of a backup file into the pedal",
         "Checks that FILE is a backup (exactly 1504 bytes) before anything is sent,\n"
         "stores the 32 presets slot by slot and verifies them by reading all back. Exit\n"
         "status 1\n"
         "names the slot that failed; 2 for a file that is not a backup (nothing sent).\n"
         "First the pedal's presets and global settings are saved in the presets folder's\n"
         "autobackup/; if that fails nothing is sent unless --no-backup is given.\n"
         "A file whose presets break the editor's rules (an algorithm or option code\n"
         "out of range, reserved speed bits, an unprintable title) is refused with the\n"
         "first reason (status 2) unless --force is given. FILE \"-\" reads the backup\n"
         "from standard input.\n",
         "--yes --no-backup --force", cmd_restore},
        {"read", "SLOT FILE.lop | A-B DIR/", "save one slot (1-32), or slots A to B, as offline preset files",
         "Reads the preset of SLOT and writes it as an offline preset file named after\n"
         "FILE (without its folder and .lop). Prints the path written. FILE \"-\" writes\n"
         "the preset file, named after the preset's title, to standard output.\n"
         "read A-B DIR/ writes slots A to B into the folder DIR, each file named after\n"
         "the preset's title (\" (2)\" added to a name already there: nothing is replaced);\n"
         "into the presets folder they join the library's list.\n" KV_OUTPUT_RULES,
         "", cmd_read},
        {"write", "SLOT FILE.lop", "store an offline preset file in one slot (1-32)",
         "Checks FILE before anything is sent, then stores it in SLOT, verified by the\n"
         "pedal's echo and by reading the slot back, with one retry after a mismatch.\n"
         "A preset that breaks the editor's rules is refused (status 2) unless --force.\n"
         "FILE \"-\" reads the preset file from standard input.\n",
         "--yes --force", cmd_write},
        {"globals", "show | save FILE | load FILE",
         "print, save or load the pedal's global settings and MIDI CC map",
         "show: every setting by name with its value, one a line (AUX switch actions,\n"
         "favourite preset, preset pages, input pad, MIDI channel, footswitch B/X,\n"
         "tempo LED, and the CC number of each of the 29 MIDI functions).\n"
         "save FILE: the 34 bytes of the global record, in record order, to FILE\n"
         "(\"-\": standard output).\n" KV_OUTPUT_RULES
         "load FILE: writes FILE's record (\"-\": standard input) to the pedal and reads\n"
         "it back to verify.\n"
         "A file that is not 34 bytes, or that holds a CC number above 99, one CC\n"
         "number for two functions or an AUX action code above 15 (other than 255,\n"
         "no selection), is refused\n"
         "(status 2) and nothing is sent.\n",
         "--yes --json", cmd_globals,
         {{"show", "", "print the settings", "--json"},
          {"save", "FILE", "save the 34-byte record into FILE (\"-\": standard output)"},
          {"load", "FILE", "write FILE's record (\"-\": standard input) into the pedal", "--yes"}}},
        {"firmware", "FILE.fdt", "send a firmware package to a pedal waiting in update mode",
         "The package is checked first; a missing or bad one is refused (status 2) and\n"
         "nothing is sent. A package older than the pedal's firmware asks once more;\n"
         "without a terminal --allow-downgrade answers that question (--yes does not).\n"
         "A pedal in update mode cannot be read for a safety backup: run `korvane backup`\n"
         "before starting it in update mode, then give --no-backup.\n"
         "Start the pedal in update mode by holding down both footswitches while powering\n"
         "it up. Each page is echoed and compared; presets stored under older firmware are\n"
         "converted afterwards. Then run `korvane library --yes`.\n",
         "--yes --no-backup --allow-downgrade", cmd_firmware},
        {"library", "", "write the algorithm library from the program's data files into the pedal",
         "Writes the 38 algorithm programs, the display data and the factory arp sequences\n"
         "(error_log.fvc, dispdata.bin, arpdata.bin in the data folder), each block echoed\n"
         "and compared with one retry. Missing or short files are refused before sending.\n",
         "--yes --no-backup", cmd_library},
        {"factory-reset", "", "restore the pedal's factory presets and global settings",
         "Stores the 32 presets of factoryset.fap, reads them back to verify them, then\n"
         "writes the factory global settings. Every preset of the pedal is overwritten.\n",
         "--yes --no-backup", cmd_factory_reset},
        {"copy", "FROM TO", "copy the preset of one slot over another",
         "Stores the preset of slot FROM (1-32), with its title and its S and B\n"
         "switches, into slot TO, then reads TO back to verify it. What TO held is\n"
         "overwritten: asks first; --yes answers.\n",
         "--yes", cmd_copy},
        {"swap", "A B", "exchange the presets of two slots",
         "The presets of slots A and B (1-32), with their titles and S and B\n"
         "switches, change places; each slot is read back to verify it. First all\n"
         "presets are saved in the presets folder's autobackup/ (see README); if that\n"
         "fails nothing is stored unless --no-backup is given. Should the swap stop\n"
         "half way, `korvane restore --yes FILE` with that backup puts both back.\n"
         "Asks first; --yes answers.\n",
         "--yes --no-backup", cmd_swap},
        {"move", "FROM TO", "move a preset to another slot, shifting the slots between",
         "The preset of slot FROM (1-32) goes to slot TO; the presets between move one\n"
         "slot towards FROM. Each rewritten slot is stored and read back to verify\n"
         "it. First all presets are saved in the presets folder's autobackup/; if that\n"
         "fails nothing is stored unless --no-backup is given. A failure names the slots\n"
         "already rewritten and the backup that puts the pedal back. Asks first; --yes\n"
         "answers.\n",
         "--yes --no-backup", cmd_move},
        {"presets",
         "list | show NAME | tag NAME TAG... | untag NAME TAG... | note NAME TEXT | favourite NAME... | "
         "unfavourite NAME... | rename OLD NEW | delete NAME... | export FILE.tessivar.json [NAME...] | "
         "import FILE.tessivar.json",
         "list, search, tag and annotate the offline presets; export and import .tessivar.json",
         "list: one line an offline preset (a star for favourites, name, DSP-X and DSP-Y\n"
         "algorithms, tags), filtered by --search, --tag and --favourites, in the order\n"
         "of --sort; --json prints a list of objects (docs/formats.md).\n"
         "tag / untag / note: the library's tags and notes of a preset, kept in\n"
         "library.json in the presets folder (the preset files are not changed).\n"
         "export: writes the presets named, all of them (--all, which --search, --tag\n"
         "and --favourites narrow) or the pedal's slots A to B (--slots, read from the\n"
         "pedal) in the readable format of docs/formats.md.\n"
         "FILE \"-\" writes to standard output.\n" KV_OUTPUT_RULES
         "import: adds the file's presets to the offline library from their records; a\n"
         "name already there gets \" (2)\"; FILE \"-\" reads standard input. A preset\n"
         "without a record, or whose decoded fields disagree with its record, is refused\n"
         "with the reason (status 2) and the others are imported.\n"
         "show: the preset's fields, its record and the record decoded, as in a\n"
         ".tessivar.json. favourite / unfavourite: the star. rename: the file and its\n"
         "tags and notes. delete: the presets and their files (asks; --yes answers).\n",
         "--search --tag --favourites --sort --all --slots --yes --json", cmd_presets,
         {{"list", "", "one line an offline preset", "--search --tag --favourites --sort --json"},
          {"show", "NAME", "a preset's settings and its record", "--json"},
          {"tag", "NAME TAG...", "add tags to a preset"},
          {"untag", "NAME TAG...", "take tags off a preset"},
          {"note", "NAME TEXT", "set a preset's notes"},
          {"favourite", "NAME...", "mark presets as favourites"},
          {"unfavourite", "NAME...", "unmark favourites"},
          {"rename", "OLD NEW", "rename a preset"},
          {"delete", "NAME...", "delete presets from the library", "--yes"},
          {"export", "FILE.tessivar.json [NAME...]", "write presets into a .tessivar.json file",
           "--all --slots --search --tag --favourites"},
          {"import", "FILE.tessivar.json", "add a .tessivar.json file's presets (\"-\": standard input)"}}},
        {"setlist", "list | show NAME | save NAME PRESET... | delete NAME | write NAME FIRST_SLOT",
         "list, show and save setlists; write one into consecutive slots",
         "A setlist is an ordered list of offline presets (setlists/NAME.json in the\n"
         "presets folder). save: makes one from presets of the library; delete: removes\n"
         "one (asks; --yes answers). write: stores\n"
         "its presets into consecutive slots from FIRST_SLOT (1-32), each read back to\n"
         "verify it, after a safety backup of all presets (see move). Every preset is\n"
         "found and checked before anything is sent. A failure names the slots done\n"
         "and the backup to go back to. Asks first; --yes answers.\n",
         "--yes --no-backup --force --json", cmd_setlist,
         {{"list", "", "the setlists and their sizes", "--json"},
          {"show", "NAME", "a setlist's presets in order", "--json"},
          {"save", "NAME PRESET...", "make a setlist of library presets"},
          {"delete", "NAME", "delete a setlist", "--yes"},
          {"write", "NAME FIRST_SLOT", "store a setlist's presets into consecutive slots",
           "--yes --no-backup --force"}}},
    };
    return table;
}

const std::vector<OptionSpec>& command_options()
{
    static const std::vector<OptionSpec> table = {
        {"--yes", "-y", nullptr, "answer yes to the question before anything is overwritten"},
        {"--no-backup", nullptr, nullptr, "no safety backup of the pedal's presets before they are overwritten"},
        {"--force", nullptr, nullptr, "store presets that break the editor's rules as they are"},
        {"--allow-downgrade", nullptr, nullptr,
         "send a package older than the pedal's firmware (still asks; --yes answers)"},
        {"--json", nullptr, nullptr,
         "print the result as JSON (docs/formats.md); a failure as {\"error\": ..., \"message\": ...}"},
        {"--search", nullptr, "TEXT",
         "only presets whose name, algorithms, tags or notes hold every word of TEXT (case ignored)"},
        {"--tag", nullptr, "TAG", "only presets tagged TAG"},
        {"--favourites", nullptr, nullptr, "only favourite presets"},
        {"--sort", nullptr, "KEY", "order by KEY: name (the default), added, dsp-x or dsp-y"},
        {"--all", nullptr, nullptr, "every preset of the library"},
        {"--slots", nullptr, "A-B", "the pedal's slots A to B (1-32), read from the pedal"},
    };
    return table;
}

const std::vector<OptionSpec>& global_options()
{
    static const std::vector<OptionSpec> table = {
        {"--port", nullptr, "PATH", "talk to the pedal on this serial port instead of searching"},
        {"--verbose", "-v", nullptr, "print every USB step on standard error"},
        {"--quiet", "-q", nullptr, "no progress counts or status lines; results and errors only"},
        {"--help", "-h", nullptr, "print this help and exit"},
    };
    return table;
}

const OptionSpec* find_option(std::string_view name)
{
    for (const auto* table : {&command_options(), &global_options()})
        for (const OptionSpec& o : *table)
            if (name == o.name || (o.letter && name == o.letter)) return &o;
    return nullptr;
}

std::vector<std::string> option_names(const char* blank_separated)
{
    std::vector<std::string> out;
    std::string w;
    for (const char* c = blank_separated ? blank_separated : "";; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!w.empty()) out.push_back(w);
            w.clear();
            if (*c == '\0') break;
        } else {
            w += *c;
        }
    }
    return out;
}

const Action* find_action(const Command& c, std::string_view name)
{
    for (const Action& a : c.actions)
        if (name == a.name) return &a;
    return nullptr;
}

const Command* find_command(std::string_view name)
{
    for (const Command& c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

} // namespace kv::cli
