// The command line's grammar: what each line parses to (command, operands,
// options) or which exit status it ends with, and that every command's help
// names exactly the options the command takes.

#include "cli/Commands.h"
#include "cli/Parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kv::cli {
namespace {

struct Printed {
    std::string out, err;
    Terminal terminal()
    {
        Terminal t;
        t.out = [this](const std::string& s) { out += s + "\n"; };
        t.err = [this](const std::string& s) { err += s + "\n"; };
        return t;
    }
};

TEST(CliParse, LinesGiveTheirCommandOperandsAndOptionsOrTheirStatus)
{
    struct Case {
        std::vector<std::string> args;
        const char* command;   // null: none runs
        std::vector<std::string> operands;
        unsigned options;
        int status;            // when no command runs
    };
    const std::vector<Case> cases = {
        {{"list"}, "list", {}, 0, 0},
        {{"list", "--json"}, "list", {}, kOptJson, 0},
        {{"swap", "--yes", "--no-backup", "1", "7"}, "swap", {"1", "7"}, kOptYes | kOptNoBackup, 0},
        {{"swap", "1", "-y", "7"}, "swap", {"1", "7"}, kOptYes, 0},
        {{"firmware", "--allow-downgrade", "--yes", "p.fdt"}, "firmware", {"p.fdt"}, kOptYes | kOptAllowDowngrade, 0},
        {{"read", "5", "-"}, "read", {"5", "-"}, 0, 0},
        {{"restore", "--force", "--yes", "b.bkp"}, "restore", {"b.bkp"}, kOptForce | kOptYes, 0},
        {{"write", "5", "--", "-x.lop"}, "write", {"5", "-x.lop"}, 0, 0},
        {{"write", "--yes", "--", "5", "--no-backup"}, "write", {"5", "--no-backup"}, kOptYes, 0},
        {{"arp", "show", "5", "--json"}, "arp", {"show", "5"}, kOptJson, 0},
        {{"--help"}, nullptr, {}, 0, kOk},
        {{"help"}, nullptr, {}, 0, kOk},
        {{"--version"}, nullptr, {}, 0, kOk},
        {{"restore", "--help"}, nullptr, {}, 0, kOk},
        {{"list", "extra"}, nullptr, {}, 0, kUsage},
        {{"list", "--", "extra"}, nullptr, {}, 0, kUsage},
        {{"backup", "--yes"}, nullptr, {}, 0, kUsage},        // backup asks nothing
        {{"copy", "--no-backup", "1", "2"}, nullptr, {}, 0, kUsage},
        {{"list", "--port"}, nullptr, {}, 0, kUsage},
        {{"frobnicate"}, nullptr, {}, 0, kUsage},
        {{"--verbose"}, nullptr, {}, 0, kUsage},
        // Options anywhere: before the command, between and after operands.
        {{"--port", "/dev/x", "list"}, "list", {}, 0, 0},
        {{"--verbose", "--json", "list"}, "list", {}, kOptJson, 0},
        {{"-q", "swap", "1", "--yes", "7"}, "swap", {"1", "7"}, kOptYes, 0},
        {{"presets", "export", "--all", "--tag", "live", "f.json"}, "presets", {"export", "f.json"}, 0, 0},
        {{"arp", "store", "--yes", "ARPGTR", "1", "factory", "2"}, "arp", {"store", "ARPGTR", "1", "factory", "2"}, kOptYes, 0},
        {{"arp", "save", "--yes", "ARPGTR", "1", "factory", "2"}, "arp", {"save", "ARPGTR", "1", "factory", "2"}, kOptYes, 0},
        {{"restore", "--yes", "-"}, "restore", {"-"}, kOptYes, 0},
        // Each action takes only its own options.
        {{"presets", "list", "--all", "--slots", "1-3"}, nullptr, {}, 0, kUsage},
        {{"globals", "save", "--json", "g.bin"}, nullptr, {}, 0, kUsage},
        {{"setlist", "save", "--force", "A", "B"}, nullptr, {}, 0, kUsage},
        {{"presets", "frob"}, nullptr, {}, 0, kUsage},
        {{"presets"}, nullptr, {}, 0, kUsage},
        {{"list", "--port"}, nullptr, {}, 0, kUsage},
        {{"list", "--json=yes"}, nullptr, {}, 0, kUsage},
        {{"list", "--port", "a", "--port", "b"}, nullptr, {}, 0, kUsage},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        Printed p;
        const ParsedLine r = parse_command_line(c.args, p.terminal());
        if (!c.command) {
            EXPECT_EQ(r.command, nullptr) << line;
            EXPECT_EQ(r.status, c.status) << line;
            if (c.status == kUsage) {
                EXPECT_FALSE(p.err.empty()) << line;
            }
            continue;
        }
        ASSERT_NE(r.command, nullptr) << line << p.err;
        EXPECT_STREQ(r.command->name, c.command) << line;
        EXPECT_EQ(r.operands, c.operands) << line;
        EXPECT_EQ(r.options, c.options) << line;
    }
    Printed v;
    parse_command_line({"--version"}, v.terminal());
    EXPECT_EQ(v.out, "korvane 2.5.1\n");
    Printed u;
    parse_command_line({"frobnicate"}, u.terminal());
    EXPECT_NE(u.err.find("unknown command 'frobnicate'"), std::string::npos) << u.err;
}

TEST(CliParse, RefusalsAreOursNameWhatWasGivenInOrderAndComeAsJsonWhenAskedFor)
{
    const struct {
        std::vector<std::string> args;
        const char* err;    // the first line on standard error
        const char* json;   // on standard output, or null: nothing there
    } cases[] = {
        {{"list", "a", "b", "c"}, "korvane list: list takes no arguments; given: a b c.", nullptr},
        {{"list", "--cc", "--aa", "--bb"}, "korvane list: unknown options --cc, --aa, --bb.", nullptr},
        {{"presets", "list", "--slots", "1-3", "--all"}, "korvane presets: presets list does not take --slots, --all.",
         nullptr},
        {{"globals", "save", "--json", "g"}, "korvane globals: globals save does not take --json.",
         "{\"error\": \"usage\", \"message\": \"globals save does not take --json.\"}\n"},
        {{"list", "--port"}, "korvane list: --port needs a PATH.", nullptr},
        {{"swap", "--yes", "--yes", "--port", "a", "--port", "b", "1", "2"}, "korvane swap: --port is given twice.", nullptr},
        {{"frob"}, "korvane: unknown command 'frob'.", nullptr},
    };
    for (const auto& c : cases) {
        Printed p;
        const ParsedLine r = parse_command_line(c.args, p.terminal());
        EXPECT_EQ(r.status, kUsage) << c.err;
        EXPECT_EQ(p.err.substr(0, p.err.find('\n')), c.err);
        EXPECT_EQ(p.out, c.json ? c.json : "") << c.err;
    }
}

// Whether a blank-separated option list names `name`.
bool names(const char* list, const std::string& name)
{
    const auto all = option_names(list);
    return std::find(all.begin(), all.end(), name) != all.end();
}

TEST(CliParse, EveryCommandsHelpNamesExactlyTheOptionsItTakes)
{
    Printed overview;
    parse_command_line({"--help"}, overview.terminal());
    for (const Command& c : commands()) {
        EXPECT_NE(overview.out.find("\n  " + std::string(c.name) + " "), std::string::npos) << c.name;
        Printed p;
        const ParsedLine r = parse_command_line({c.name, "--help"}, p.terminal());
        EXPECT_EQ(r.status, kOk);
        EXPECT_EQ(p.out.rfind("Usage: korvane " + std::string(c.name), 0), 0u) << p.out;
        for (const OptionSpec& o : command_options()) {
            const std::string name = o.name;
            const bool takes = names(c.options, name);
            // The help's option list: the option, its metavar and its description.
            const std::string described =
                (o.letter ? std::string(o.letter) + ", " : std::string()) + name + (o.metavar ? std::string(" ") + o.metavar : "");
            EXPECT_EQ(p.out.find("\n  " + described + " ") != std::string::npos, takes) << c.name << " " << name;
            // What the help names, the parser takes (with the action that
            // takes it); what it does not, the parser refuses.
            std::vector<std::string> line = {c.name};
            for (const Action& a : c.actions)
                if (names(a.options, name)) {
                    line.push_back(a.name);
                    break;
                }
            line.push_back(name);
            if (o.metavar) line.push_back("1-3");
            line.insert(line.end(), {"--port", "/dev/null"});
            Printed q;
            const ParsedLine given = parse_command_line(line, q.terminal());
            if (takes) {
                EXPECT_NE(given.command, nullptr) << c.name << " " << name << q.err;
            } else {
                EXPECT_EQ(given.status, kUsage) << c.name << " " << name;
            }
        }
        // A command's operands name its actions in order, as the actions do.
        if (!c.actions.empty()) {
            std::string alternatives;
            for (const Action& a : c.actions)
                alternatives += (alternatives.empty() ? "" : " | ") + std::string(a.name) + (*a.operands ? " " : "") + a.operands;
            EXPECT_EQ(alternatives, c.operands) << c.name;
        }
        // Every option an action takes is the command's.
        for (const Action& a : c.actions)
            for (const std::string& n : option_names(a.options)) EXPECT_TRUE(names(c.options, n)) << c.name << " " << n;
        for (const char* common : {"--port PATH", "-v, --verbose", "-q, --quiet", "-h, --help"})
            EXPECT_NE(p.out.find(common), std::string::npos) << c.name << common;
        // No parser leftovers: every line fits 80 columns and says something.
        for (const char* leftover : {"Operands", "see below", "VALUE", "[FILE] ..."})
            EXPECT_EQ(p.out.find(leftover), std::string::npos) << c.name << " " << leftover;
    }
    // Every option is described, with its metavar when it takes a value.
    for (const auto* table : {&command_options(), &global_options()})
        for (const OptionSpec& o : *table) {
            EXPECT_GT(std::string(o.description).size(), 10u) << o.name;
            if (o.metavar) {
                EXPECT_NE(std::string(o.metavar), "VALUE") << o.name;
            }
        }
    // The commands that overwrite the pedal's presets all take --no-backup,
    // and everything that asks takes --yes.
    for (const char* name : {"restore", "firmware", "library", "factory-reset", "swap", "move", "setlist"})
        EXPECT_TRUE(names(find_command(name)->options, "--no-backup")) << name;
    for (const char* name : {"restore", "write", "firmware", "library", "factory-reset", "copy", "swap", "arp", "globals"})
        EXPECT_TRUE(names(find_command(name)->options, "--yes")) << name;
}

} // namespace
} // namespace kv::cli
