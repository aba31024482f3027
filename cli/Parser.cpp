#include "cli/Parser.h"

#include "cli/Commands.h"
#include "cli/Json.h"

#include <algorithm>

#ifndef KORVANE_VERSION
#error "KORVANE_VERSION is set by the build"
#endif

namespace kv::cli {

namespace {

constexpr size_t kWidth = 80;          // help lines fit in 80 columns
constexpr size_t kDescribeAt = 24;     // where an option's description starts

constexpr const char* kExitStatusText =
    "Exit status: 0 done, 1 the pedal operation failed, 2 a usage error or a bad file, 3 the question was "
    "answered no.";

// `text` broken into lines of at most kWidth columns, the first starting
// with `first`, the others indented by `indent` blanks.
std::string wrapped(const std::string& first, const std::string& text, size_t indent)
{
    std::string out = first, word;
    size_t column = first.size();
    bool line_empty = true;
    auto put = [&] {
        if (word.empty()) return;
        if (!line_empty && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            line_empty = true;
        }
        if (!line_empty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        line_empty = false;
        word.clear();
    };
    int depth = 0;   // "[--slots A-B]" is not broken
    for (char c : text) {
        depth += c == '[' ? 1 : c == ']' ? -1 : 0;
        if ((c == ' ' && depth <= 0) || c == '\n') put();
        else word += c;
    }
    put();
    return out + "\n";
}

std::string option_usage(const OptionSpec& o)
{
    return std::string(o.name) + (o.metavar ? std::string(" ") + o.metavar : std::string());
}

std::string option_lines(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names) {
        const OptionSpec* o = find_option(n);
        if (!o) continue;
        std::string left = "  " + (o->letter ? std::string(o->letter) + ", " : std::string()) + option_usage(*o);
        left += left.size() + 2 <= kDescribeAt ? std::string(kDescribeAt - left.size(), ' ') : "\n" + std::string(kDescribeAt, ' ');
        out += wrapped(left, o->description, kDescribeAt);
    }
    return out;
}

std::vector<std::string> global_names()
{
    std::vector<std::string> out;
    for (const OptionSpec& o : global_options()) out.emplace_back(o.name);
    return out;
}

std::string one_usage(const Command& c, const Action* a)
{
    std::string line = std::string("korvane ") + c.name;
    if (a) line += std::string(" ") + a->name;
    for (const std::string& n : option_names(a ? a->options : c.options))
        if (const OptionSpec* o = find_option(n)) line += " [" + option_usage(*o) + "]";
    const char* operands = a ? a->operands : c.operands;
    if (*operands) line += std::string(" ") + operands;
    return line;
}

// A usage error: said on standard error with the usage, and as a JSON
// error object on standard output when --json was asked for.
struct Complaint {
    const Terminal& t;
    bool json;
    ParsedLine& parsed;

    ParsedLine& operator()(const Command* c, const Action* a, const std::string& what)
    {
        const std::string who = std::string("korvane") + (c ? std::string(" ") + c->name : std::string());
        t.err(who + ": " + what);
        if (c) {
            std::string usage = a ? one_usage(*c, a) : usage_line(*c);
            std::string shown;
            size_t start = 0;
            for (bool first = true; start <= usage.size(); first = false) {
                size_t end = usage.find('\n', start);
                if (end == std::string::npos) end = usage.size();
                shown += (first ? "Usage: " : "\n       ") + usage.substr(start, end - start);
                start = end + 1;
            }
            t.err(shown);
        } else {
            t.err("`korvane --help` lists the commands.");
        }
        if (json) t.out(json_error("usage", what));
        parsed.command = nullptr;
        parsed.status = kUsage;
        return parsed;
    }
};

std::string joined(const std::vector<std::string>& words, const char* between)
{
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : between) + w;
    return out;
}

} // namespace

std::string version_text() { return std::string("korvane ") + KORVANE_VERSION; }

std::string json_error(const std::string& code, const std::string& message)
{
    return "{" + json_member("error", json_string(code)) + ", " + json_member("message", json_string(message)) +
           "}";
}

std::string usage_line(const Command& c)
{
    if (c.actions.empty()) return one_usage(c, nullptr);
    std::string out;
    for (const Action& a : c.actions) out += (out.empty() ? "" : "\n") + one_usage(c, &a);
    return out;
}

std::string command_help(const Command& c)
{
    std::string out;
    const std::string usage = usage_line(c);
    size_t start = 0;
    for (bool first = true; start <= usage.size(); first = false) {
        size_t end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        out += wrapped(first ? "Usage: " : "       ", usage.substr(start, end - start), 11);
        start = end + 1;
    }
    std::string summary = c.summary;
    summary[0] = char(std::toupper(static_cast<unsigned char>(summary[0])));
    out += "\n" + wrapped("", summary + ".", 0) + "\n" + c.help;
    if (!c.actions.empty()) {
        out += "\nActions:\n";
        for (const Action& a : c.actions) {
            std::string left = std::string("  ") + a.name;
            left += std::string(left.size() < 14 ? 14 - left.size() : 1, ' ');
            out += wrapped(left, a.alias_of ? std::string("the former name of ") + a.alias_of + ", which it runs"
                                            : std::string(a.summary),
                           14);
        }
    }
    const std::vector<std::string> own = option_names(c.options);
    if (!own.empty()) out += "\nOptions:\n" + option_lines(own);
    out += "\nEvery command also takes:\n" + option_lines(global_names());
    out += "\n" + wrapped("", kExitStatusText, 0);
    return out;
}

std::string overview_help()
{
    std::string out = "Usage: korvane [COMMAND [OPTIONS] [ARGUMENTS]]\n"
                      "  or:  korvane --version | --help\n\n";
    out += wrapped("", "Korvane, the editor and librarian of the Brakwell Tessivar. Without a COMMAND it opens the "
                       "editor window; a COMMAND runs one pedal operation without a window.",
                   0);
    out += "\nCommands:\n";
    for (const Command& c : commands()) {
        std::string left = std::string("  ") + c.name;
        left += std::string(left.size() < 17 ? 17 - left.size() : 1, ' ');
        out += wrapped(left, c.summary, 17);
    }
    out += "\nEvery command takes:\n" + option_lines(global_names());
    out += "  --version             print the version and exit\n";
    out += "\n" + wrapped("", "`korvane COMMAND --help` tells about one command, its actions and options.", 0);
    out += wrapped("", kExitStatusText, 0);
    return out;
}

namespace {

std::vector<OptionDescription> describe_options(const std::vector<std::string>& names)
{
    std::vector<OptionDescription> out;
    for (const std::string& n : names)
        if (const OptionSpec* o = find_option(n)) {
            OptionDescription d;
            if (o->letter) d.names.emplace_back(o->letter);
            d.names.emplace_back(o->name);
            d.metavar = o->metavar ? o->metavar : "";
            d.description = o->description;
            out.push_back(std::move(d));
        }
    return out;
}

} // namespace

Grammar describe_grammar()
{
    Grammar g;
    g.program_options = describe_options(global_names());
    g.program_options.push_back({{"--version"}, "", "print the version and exit"});
    for (const Command& c : commands()) {
        std::vector<std::string> names = option_names(c.options);
        const std::vector<std::string> globals = global_names();
        names.insert(names.end(), globals.begin(), globals.end());
        CommandDescription d{&c, c.name, c.summary, c.operands, describe_options(names), {}};
        for (const Action& a : c.actions) {
            std::vector<std::string> own = option_names(a.options);
            own.insert(own.end(), globals.begin(), globals.end());
            d.subcommands.push_back({nullptr, a.name,
                                     a.alias_of ? std::string("the former name of ") + a.alias_of : a.summary,
                                     a.operands, describe_options(own), {}});
        }
        g.commands.push_back(std::move(d));
    }
    return g;
}

ParsedLine parse_command_line(const std::vector<std::string>& args, const Terminal& t)
{
    ParsedLine parsed;
    struct Given {
        const OptionSpec* spec;
        std::string value;
    };
    std::vector<Given> given;
    std::vector<std::string> unknown, operands, problems;
    const Command* command = nullptr;
    std::string unknown_command;
    bool help = false, version = false, only_operands = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (only_operands || a == "-" || a.empty() || a[0] != '-') {
            if (!command && unknown_command.empty() && !only_operands) {
                if (a == "help" && i == 0) {
                    help = true;
                    continue;
                }
                command = find_command(a);
                if (!command) unknown_command = a;
                continue;
            }
            operands.push_back(a);
            continue;
        }
        if (a == "--") {
            only_operands = true;
            continue;
        }
        const size_t equals = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
        const std::string name = a.substr(0, equals);
        if (name == "--version") {
            version = true;
            continue;
        }
        const OptionSpec* spec = find_option(name);
        if (!spec) {
            unknown.push_back(name);
            continue;
        }
        if (std::string(spec->name) == "--help") {
            help = true;
            continue;
        }
        Given g{spec, {}};
        if (spec->metavar) {
            if (equals != std::string::npos) {
                g.value = a.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                g.value = args[++i];
            } else {
                problems.push_back(std::string(spec->name) + " needs a " + spec->metavar);
                continue;
            }
            for (const Given& earlier : given)
                if (earlier.spec == spec) problems.push_back(std::string(spec->name) + " is given twice");
        } else if (equals != std::string::npos) {
            problems.push_back(std::string(spec->name) + " takes no value");
            continue;
        }
        given.push_back(g);
    }

    bool json = false;
    for (const Given& g : given) json = json || std::string(g.spec->name) == "--json";
    Complaint complain{t, json, parsed};

    if (help) {
        if (!unknown_command.empty()) return complain(nullptr, nullptr, "unknown command '" + unknown_command + "'.");
        t.out(command ? command_help(*command) : overview_help());
        parsed.status = kOk;
        return parsed;
    }
    if (version && !command) {
        t.out(version_text());
        return parsed;
    }
    if (!unknown_command.empty()) return complain(nullptr, nullptr, "unknown command '" + unknown_command + "'.");
    if (version) unknown.insert(unknown.begin(), "--version");
    if (!command) {
        if (!unknown.empty()) return complain(nullptr, nullptr, "unknown option " + joined(unknown, ", ") + ".");
        t.err("korvane: a command is needed.");
        t.err(overview_help());
        parsed.status = kUsage;
        return parsed;
    }
    if (!unknown.empty())
        return complain(command, nullptr,
                        std::string(unknown.size() == 1 ? "unknown option " : "unknown options ") +
                            joined(unknown, ", ") + ".");
    if (!problems.empty()) return complain(command, nullptr, joined(problems, "; ") + ".");

    // What the command, and its action, take.
    const Action* action = nullptr;
    if (!command->actions.empty()) {
        std::vector<std::string> names;
        for (const Action& a : command->actions)
            if (!a.alias_of) names.emplace_back(a.name);
        if (operands.empty())
            return complain(command, nullptr, std::string(command->name) + " needs an action: " + joined(names, ", ") + ".");
        action = find_action(*command, operands[0]);
        if (!action)
            return complain(command, nullptr,
                            "unknown action '" + operands[0] + "'; " + command->name + " takes " +
                                joined(names, ", ") + ".");
    }
    const std::vector<std::string> takes = option_names(action ? action->options : command->options);
    std::vector<std::string> refused;
    for (const Given& g : given) {
        const std::string n = g.spec->name;
        const bool global = std::any_of(global_options().begin(), global_options().end(),
                                        [&](const OptionSpec& o) { return n == o.name; });
        if (!global && std::find(takes.begin(), takes.end(), n) == takes.end() &&
            std::find(refused.begin(), refused.end(), n) == refused.end())
            refused.push_back(n);
    }
    if (!refused.empty()) {
        const std::string what = std::string(command->name) + (action ? std::string(" ") + action->name : "");
        return complain(command, action, what + " does not take " + joined(refused, ", ") + ".");
    }
    if (!*command->operands && !operands.empty())
        return complain(command, nullptr,
                        std::string(command->name) + " takes no arguments; given: " + joined(operands, " ") + ".");

    parsed.command = command;
    parsed.operands = operands;
    for (const Given& g : given) {
        const std::string n = g.spec->name;
        if (n == "--port") parsed.port = g.value;
        else if (n == "--verbose") parsed.verbose = true;
        else if (n == "--quiet") parsed.quiet = true;
        else if (g.spec->metavar) parsed.values[n] = g.value;
        else parsed.flags.insert(n);
        if (n == "--yes") parsed.options |= kOptYes;
        if (n == "--no-backup") parsed.options |= kOptNoBackup;
        if (n == "--json") parsed.options |= kOptJson;
        if (n == "--allow-downgrade") parsed.options |= kOptAllowDowngrade;
        if (n == "--force") parsed.options |= kOptForce;
    }
    return parsed;
}

} // namespace kv::cli
