#pragma once
// The command line's grammar: every command, its options and operands are
// declared once (from the table in cli/Commands.cpp) with CLI11, which
// parses, refuses what a command does not take, and writes the help and
// usage texts from the same declarations.

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
};

// Parses `korvane ARGS...` (without the program name). Help, the version and
// usage errors are printed on `t` here; the result then has no command.
ParsedLine parse_command_line(const std::vector<std::string>& args, const Terminal& t);

// The grammar as the parser declares it, for what is written from it at
// build time (the manual page, shell completion: cli/grammar/main.cpp).
struct OptionDescription {
    std::vector<std::string> names;   // "-y", "--yes"
    std::string metavar;              // "PATH"; empty for a flag
    std::string description;
};
struct CommandDescription {
    const Command* command = nullptr;   // null for a command's own subcommand
    std::string name;
    std::string summary;
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

} // namespace kv::cli
