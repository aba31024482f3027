// The command line's grammar: what each line parses to (command, operands,
// options) or which exit status it ends with, and that every command's help
// names exactly the options the command takes.

#include "cli/Parser.h"

#include <gtest/gtest.h>

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

TEST(CliParse, EveryCommandsHelpNamesExactlyTheOptionsItTakes)
{
    const struct {
        Option bit;
        const char* name;
    } options[] = {{kOptYes, "--yes"}, {kOptNoBackup, "--no-backup"}, {kOptJson, "--json"},
                   {kOptAllowDowngrade, "--allow-downgrade"}, {kOptForce, "--force"}};
    Printed overview;
    parse_command_line({"--help"}, overview.terminal());
    for (const Command& c : commands()) {
        EXPECT_NE(overview.out.find("\n  " + std::string(c.name) + " "), std::string::npos) << c.name;
        Printed p;
        const ParsedLine r = parse_command_line({c.name, "--help"}, p.terminal());
        EXPECT_EQ(r.status, kOk);
        const std::string usage = "Usage: " + usage_line(c) + "\n";
        EXPECT_NE(p.out.find(usage), std::string::npos) << p.out;
        for (const auto& o : options) {
            const bool takes = (c.options & o.bit) != 0 ||
                               (" " + std::string(c.flag_options) + " ").find(std::string(" ") + o.name + " ") !=
                                   std::string::npos;
            EXPECT_EQ(usage.find(std::string("[") + o.name + "]") != std::string::npos, takes) << c.name << o.name;
            EXPECT_EQ(p.out.find(std::string(o.name) + " ") != std::string::npos, takes) << c.name << o.name;
            // What the help names, the parser takes; what it does not, the parser refuses.
            Printed q;
            const ParsedLine given = parse_command_line({c.name, o.name, "--port", "/dev/null"}, q.terminal());
            if (takes) {
                EXPECT_NE(given.command, nullptr) << c.name << " " << o.name << q.err;
            } else {
                EXPECT_EQ(given.status, kUsage) << c.name << " " << o.name;
            }
        }
        for (const char* common : {"--port PATH", "--verbose", "--help"})
            EXPECT_NE(p.out.find(common), std::string::npos) << c.name << common;
    }
    // The commands that overwrite the pedal's presets all take --no-backup,
    // and everything that asks takes --yes.
    for (const char* name : {"restore", "firmware", "library", "factory-reset", "swap"})
        for (const Command& c : commands())
            if (std::string(c.name) == name) {
                EXPECT_TRUE(c.options & kOptNoBackup) << name;
            }
    for (const char* name : {"restore", "write", "firmware", "library", "factory-reset", "copy", "swap", "arp", "globals"})
        for (const Command& c : commands())
            if (std::string(c.name) == name) {
                EXPECT_TRUE(c.options & kOptYes) << name;
            }
}

} // namespace
} // namespace kv::cli
