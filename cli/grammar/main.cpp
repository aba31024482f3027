// korvane-grammar: prints the command line's grammar as JSON, from the same
// declarations the parser uses, for the files written from it at build time
// (packaging/make_manpages.py, packaging/make_completion.py). Not installed.
//
// {"version": "korvane 2.5.1",
//  "options": [{"names": ["--version"], "metavar": "", "description": "..."}],
//  "commands": [{"name": "list", "operands": "", "summary": "...", "help": "...",
//                "options": [...], "subcommands": [...]}]}

#include "cli/Parser.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace {

using nlohmann::json;

json options_json(const std::vector<kv::cli::OptionDescription>& options)
{
    json out = json::array();
    for (const auto& o : options)
        out.push_back({{"names", o.names}, {"metavar", o.metavar}, {"description", o.description}});
    return out;
}

json command_json(const kv::cli::CommandDescription& c)
{
    json out = {{"name", c.name}, {"summary", c.summary}, {"options", options_json(c.options)}};
    out["operands"] = c.command ? c.command->operands : "";
    out["help"] = c.command ? c.command->help : "";
    out["subcommands"] = json::array();
    for (const auto& sub : c.subcommands) out["subcommands"].push_back(command_json(sub));
    return out;
}

} // namespace

int main()
{
    const kv::cli::Grammar g = kv::cli::describe_grammar();
    json out = {{"version", kv::cli::version_text()}, {"options", options_json(g.program_options)}};
    out["commands"] = json::array();
    for (const auto& c : g.commands) out["commands"].push_back(command_json(c));
    std::cout << out.dump(2) << "\n";
    return 0;
}
