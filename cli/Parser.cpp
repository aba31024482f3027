#include "cli/Parser.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>

#ifndef KORVANE_VERSION
#error "KORVANE_VERSION is set by the build"
#endif

namespace kv::cli {

namespace {

struct OptionName {
    Option bit;
    const char* names;   // CLI11 form: "-y,--yes"
    const char* usage;   // as the usage line shows it
    const char* description;
};

constexpr OptionName kOptions[] = {
    {kOptYes, "-y,--yes", "--yes", "answer yes to the question before the pedal is overwritten"},
    {kOptNoBackup, "--no-backup", "--no-backup", "no safety backup before the pedal's presets are overwritten"},
    {kOptJson, "--json", "--json", "print the result as JSON"},
    {kOptAllowDowngrade, "--allow-downgrade", "--allow-downgrade",
     "send a package older than the pedal's firmware (still asks; --yes answers)"},
    {kOptForce, "--force", "--force", "store presets that break the editor's rules as they are"},
};

// The blank-separated words of a command's own option lists.
std::vector<std::string> words(const char* list)
{
    std::vector<std::string> out;
    std::string w;
    for (const char* c = list ? list : ""; ; ++c) {
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

const Command* command_of(const CLI::App* app)
{
    for (const Command& c : commands())
        if (app->get_name() == c.name) return &c;
    return nullptr;
}

// The usage line of a command is the one usage_line() writes from the
// table; the overview lists the commands with their summaries.
class Help : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string) const override
    {
        if (const Command* c = command_of(app)) return "Usage: " + usage_line(*c) + "\n";
        return "Usage: korvane [COMMAND [OPTIONS] [ARGUMENTS]]\n"
               "  or:  korvane [--demo] [--verbose]   (the window; --demo: with the simulated pedal)\n"
               "  or:  korvane --version | --help\n";
    }
    std::string make_footer(const CLI::App* app) const override
    {
        if (command_of(app)) return CLI::Formatter::make_footer(app);
        return "\nEvery command takes --port PATH (that serial port instead of searching), --verbose\n"
               "(every USB step on standard error) and --help; `korvane COMMAND --help` tells about it.\n"
               "Exit status: 0 done, 1 the pedal operation failed, 2 a usage error or a bad file,\n"
               "3 the question was answered no.\n";
    }
};

} // namespace

std::string version_text() { return std::string("korvane ") + KORVANE_VERSION; }

std::string usage_line(const Command& c)
{
    std::string line = std::string("korvane ") + c.name;
    for (const OptionName& o : kOptions)
        if (c.options & o.bit) line += std::string(" [") + o.usage + "]";
    for (const std::string& v : words(c.value_options)) line += " [" + v + " VALUE]";
    for (const std::string& f : words(c.flag_options)) line += " [" + f + "]";
    line += " [--port PATH] [--verbose]";
    if (*c.operands) line += std::string(" ") + c.operands;
    return line;
}

namespace {

// One command as CLI11 sees it: its options, flags, operands and help, each
// writing into `parsed` when given.
CLI::App* declare_command(CLI::App& app, const Command& c, ParsedLine& parsed)
{
    CLI::App* sub = app.add_subcommand(c.name, c.summary);
    sub->group("Commands");
    std::string footer = c.help;
    while (!footer.empty() && footer.back() == '\n') footer.pop_back();
    sub->footer(footer);
    sub->get_formatter()->column_width(22);
    for (const OptionName& o : kOptions) {
        if (!(c.options & o.bit)) continue;
        sub->add_flag_callback(
            o.names, [&parsed, bit = o.bit] { parsed.options |= bit; }, o.description);
    }
    for (const std::string& v : words(c.value_options))
        sub->add_option_function<std::string>(
               v, [&parsed, v](const std::string& value) { parsed.values[v] = value; }, "see below")
            ->type_name("VALUE");
    for (const std::string& f : words(c.flag_options))
        sub->add_flag_callback(f, [&parsed, f] { parsed.flags.insert(f); }, "see below");
    sub->add_option("--port", parsed.port, "talk to the pedal on this serial port instead of searching")
        ->type_name("PATH");
    sub->add_flag("-v,--verbose", parsed.verbose, "print every USB step on standard error");
    if (*c.operands) sub->add_option(c.operands, parsed.operands, "")->type_name("");
    return sub;
}

// CLI11's complaint in our words: lower case after "korvane COMMAND: ", an
// unknown command named as such, and the command's usage line after it.
void report_parse_error(const CLI::ParseError& e, const Command* c, const std::vector<std::string>& args,
                        const Terminal& t)
{
    std::string what = e.what();
    if (!what.empty() && what[0] >= 'A' && what[0] <= 'Z' && what.compare(0, 2, "I ") != 0)
        what[0] = char(what[0] - 'A' + 'a');
    if (!c && !args.empty() && args[0].rfind("-", 0) != 0)
        what = "unknown command '" + args[0] + "'. `korvane --help` lists the commands.";
    t.err(std::string("korvane") + (c ? std::string(" ") + c->name : std::string()) + ": " + what);
    if (c) t.err("Usage: " + usage_line(*c));
}

} // namespace

namespace {

// The program's own options and every command, as parse_command_line()
// parses them and describe_grammar() tells them.
void declare_program(CLI::App& app, ParsedLine& parsed)
{
    app.description("Korvane, the editor and librarian of the Brakwell Tessivar. Without a COMMAND it opens the "
                    "editor window; a COMMAND runs one pedal operation without a window.");
    app.formatter(std::make_shared<Help>());
    app.set_version_flag("--version", version_text(), "print the version and exit");
    app.require_subcommand(0, 1);
    app.get_formatter()->column_width(22);
    app.get_formatter()->label("Positionals", "Operands");
    for (const Command& c : commands()) declare_command(app, c, parsed);
}

} // namespace

ParsedLine parse_command_line(const std::vector<std::string>& args, const Terminal& t)
{
    ParsedLine parsed;
    CLI::App app("", "korvane");
    declare_program(app, parsed);

    struct Bound {
        const Command* command;
        CLI::App* app;
    };
    std::vector<std::unique_ptr<Bound>> bound;

    for (const Command& c : commands())
        bound.push_back(std::make_unique<Bound>(Bound{&c, app.get_subcommand(c.name)}));

    // After "--" everything is an operand, even "-x.lop". CLI11 (2.1) would
    // hand what follows "--" to the program instead of the command, so the
    // operands after it are taken here and given to the command afterwards.
    std::vector<std::string> before = args, after;
    const auto separator = std::find(args.begin(), args.end(), "--");
    if (separator != args.end() && separator != args.begin()) {
        before.assign(args.begin(), separator);
        after.assign(separator + 1, args.end());
    }
    // CLI11 takes the arguments last first; `korvane help` is `korvane --help`.
    std::vector<std::string> reversed(before.rbegin(), before.rend());
    if (!args.empty() && args[0] == "help") reversed.back() = "--help";
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        // The help of the command asked about, or the overview.
        const CLI::App* asked = &app;
        for (const auto& b : bound)
            if (b->app->parsed()) asked = b->app;
        t.out(app.help(asked == &app ? "" : asked->get_name()));
        parsed.status = kOk;
        return parsed;
    } catch (const CLI::CallForVersion&) {
        t.out(version_text());
        parsed.status = kOk;
        return parsed;
    } catch (const CLI::ParseError& e) {
        const CLI::App* where = nullptr;
        for (const auto& b : bound)
            if (b->app->parsed()) where = b->app;
        report_parse_error(e, where ? command_of(where) : nullptr, args, t);
        parsed.status = kUsage;
        return parsed;
    }
    for (const auto& b : bound)
        if (b->app->parsed()) parsed.command = b->command;
    if (parsed.command && !after.empty()) {
        if (!*parsed.command->operands) {
            t.err(std::string("korvane ") + parsed.command->name + ": takes no arguments");
            t.err("Usage: " + usage_line(*parsed.command));
            parsed.command = nullptr;
            parsed.status = kUsage;
            return parsed;
        }
        parsed.operands.insert(parsed.operands.end(), after.begin(), after.end());
    }
    if (!parsed.command) {
        // `korvane --verbose` and the like: nothing to run.
        t.err(app.help());
        parsed.status = kUsage;
    }
    return parsed;
}

namespace {

std::vector<OptionDescription> options_of(const CLI::App& app)
{
    std::vector<OptionDescription> out;
    for (const CLI::Option* o : app.get_options()) {
        if (o->get_positional()) continue;
        OptionDescription d;
        for (const std::string& n : o->get_snames()) d.names.push_back("-" + n);
        for (const std::string& n : o->get_lnames()) d.names.push_back("--" + n);
        if (o->get_expected_min() > 0) d.metavar = o->get_type_name();
        d.description = o->get_description();
        out.push_back(std::move(d));
    }
    return out;
}

CommandDescription describe(const CLI::App& app, const Command* c)
{
    CommandDescription d;
    d.command = c;
    d.name = app.get_name();
    d.summary = app.get_description();
    d.options = options_of(app);
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        d.subcommands.push_back(describe(*sub, nullptr));
    return d;
}

} // namespace

Grammar describe_grammar()
{
    ParsedLine parsed;
    CLI::App app("", "korvane");
    declare_program(app, parsed);
    Grammar g;
    g.program_options = options_of(app);
    for (const Command& c : commands())
        if (const CLI::App* sub = app.get_subcommand(c.name)) g.commands.push_back(describe(*sub, &c));
    return g;
}

} // namespace kv::cli
