#pragma once
// The command line's grammar: every command, its actions, options and
// operands are declared once (the table of cli/Commands.cpp); this parser
// reads a line against that table, refuses what a command does not take in
// the command line's own words, and writes the help texts from the same
// table.
//
// Options may stand anywhere: before the command's name (`korvane --port X
// list`), between operands, or after them; "--" ends them (what follows is an
// operand even when it starts with "-"); "-" alone is an operand (standard
// input or output). A value follows its option (`--tag live`) or is joined
// to it (`--tag=live`).

#include "cli/Cli.h"
#include "cli/Terminal.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kv::cli {

struct ParsedLine {
    const Command* command = nullptr;   // null: nothing to run, exit with `status`
    int status = kOk;
    std::vector<std::string> operands;
    std::string port;
    unsigned options = 0;   // Option bits given
    std::map<std::string, std::string> values;   // the command's own value options given
    std::set<std::string> flags;                 // and its own flags
    bool verbose = false;
    bool quiet = false;
};

// Parses `korvane ARGS...` (without the program name). Help, the version and
// usage errors are printed on `t` here; the result then has no command. With
// --json among the arguments a usage error is also printed as a JSON error
// object on standard output.
ParsedLine parse_command_line(const std::vector<std::string>& args, const Terminal& t);

// The help of one command (`korvane COMMAND --help`), or of them all.
std::string command_help(const Command& c);
std::string overview_help();

// The grammar as the table declares it, for what is written from it at
// build time (the manual page, shell completion: cli/grammar/main.cpp). A
// command's actions are its subcommands.
struct OptionDescription {
    std::vector<std::string> names;   // "-y", "--yes"
    std::string metavar;              // "PATH"; empty for a flag
    std::string description;
};
struct CommandDescription {
    const Command* command = nullptr;   // null for a command's action
    std::string name;
    std::string summary;
    std::string operands;               // "SLOT FILE.lop"; an action's after its name
    std::vector<OptionDescription> options;
    std::vector<CommandDescription> subcommands;
};
struct Grammar {
    std::vector<OptionDescription> program_options;   // `korvane --version` and the like
    std::vector<CommandDescription> commands;
};
Grammar describe_grammar();

// "korvane 2.5.1".
std::string version_text();

// {"error": CODE, "message": MESSAGE} on one line.
std::string json_error(const std::string& code, const std::string& message);

} // namespace kv::cli
