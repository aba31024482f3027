#pragma once
// The command line: `korvane COMMAND [options] [arguments]` runs one pedal
// operation without a window (and without a display). Every command calls
// the same operations (ops/) as the window; this layer only parses
// arguments, asks before overwriting the pedal, and prints.
//
// Standard output carries the command's result; standard error its status
// lines, errors and (on a terminal) the progress counts; the link's console
// lines only with --verbose, on standard error. Exit status: 0 success, 1 the
// pedal operation failed (not found, timeout, verification), 2 a usage error
// or a bad file, 3 the user answered no. Commands that overwrite the pedal
// ask on a terminal; --yes answers for them; without a terminal and without
// --yes they refuse with status 2.
//
// Options every command takes, before or after the command's name: --port
// PATH (that serial port instead of the device list), --verbose, --quiet and
// --help. The others only where the command's table entry names them
// (Command::options); the parser (cli/Parser.cpp) checks them and writes the
// help from that one table (cli/Commands.cpp), which the man page and the
// shell completion are generated from as well. --force (restore, write,
// setlist write): presets that break the editor's rules are stored as they
// are (refused with status 2 otherwise).

#include "link/UsbLink.h"
#include "ops/Connect.h"
#include "ops/Reporter.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::cli {

enum Exit : int { kOk = 0, kFailed = 1, kUsage = 2, kDeclined = 3 };

class Session;

// The option bits the parser sets for the options most commands share.
enum Option : unsigned {
    kOptYes = 1u << 0,              // --yes: answers the question before the pedal is overwritten
    kOptNoBackup = 1u << 1,         // --no-backup: no safety backup first
    kOptJson = 1u << 2,             // --json: the result as JSON on standard output
    kOptAllowDowngrade = 1u << 3,   // --allow-downgrade: an older firmware package is sent too
    kOptForce = 1u << 4,            // --force: presets that break the editor's rules are stored as they are
};

// An option: its name, its one-letter form (or null), the metavar of its
// value (null for an option without one) and what it does, as the help and
// the man page print it.
struct OptionSpec {
    const char* name;          // "--tag"
    const char* letter;        // "-y" or null
    const char* metavar;       // "TAG", null: takes no value
    const char* description;   // "only the presets tagged TAG"
};

// A word that picks what a command does ("presets list"): its operands, a
// line for the help, and which of the command's options it takes.
struct Action {
    const char* name;          // "list"
    const char* operands;      // what follows it: "NAME TAG..." (may be "")
    const char* summary;       // one line
    const char* options = "";  // blank-separated: "--search --tag --json"
    const char* alias_of = nullptr;   // "store" for `arp save`
};

struct Command {
    const char* name;       // "list"
    // What follows the options: "SLOT FILE.lop" (may be ""); with actions
    // each action's name and operands, "show SLOT | store ...", in order.
    const char* operands;
    const char* summary;    // one line for `korvane --help`
    const char* help;       // more lines for `korvane list --help` (may be "")
    const char* options;    // the command's own options, blank-separated: "--yes --json"
    int (*run)(Session&);
    std::vector<Action> actions = {};   // empty: the command has none
};

// Every command, in the order `korvane --help` lists them.
const std::vector<Command>& commands();

// Every option once: those of the commands, then those every command takes
// (global_options()).
const std::vector<OptionSpec>& command_options();
const std::vector<OptionSpec>& global_options();
const OptionSpec* find_option(std::string_view name);   // "--tag" or "-y"

// The options of a command (or of one of its actions) as names.
std::vector<std::string> option_names(const char* blank_separated);
const Action* find_action(const Command& c, std::string_view name);

// "korvane swap [--yes] [--no-backup] A B": the command's options (with
// their metavars), then its operands; one line an action, joined by "\n"
// ("korvane presets list [--search TEXT] ...").
std::string usage_line(const Command& c);

// What a command gets: its arguments, the options, the link and the reporter.
class Session {
public:
    virtual ~Session() = default;

    const Command* command = nullptr;   // the command being run
    std::vector<std::string> args;   // the command's arguments, options taken out
    bool yes = false;
    bool verbose = false;
    bool quiet = false;              // --quiet: no progress counts or status lines
    bool no_backup = false;          // --no-backup: no safety backup before overwriting
    bool json = false;               // --json
    bool allow_downgrade = false;    // --allow-downgrade
    bool force = false;              // --force: store presets that break the editor's rules as they are
    std::string port;                // --port, empty: the device list
    // The command's own options as given: values of value options (the last
    // one given counts) and the flags present.
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    bool flag(const std::string& name) const { return flags.count(name) > 0; }
    std::optional<std::string> value(const std::string& name) const
    {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    }

    virtual UsbLink& link() = 0;
    virtual ops::Reporter& report() = 0;

    // Finds the pedal and reads all presets into `image` (the connect
    // sequence). False when the pedal was not found, did not answer, is in
    // update mode or runs firmware too old: already said on standard error;
    // the command then returns kFailed.
    bool connect();
    // "korvane COMMAND: no pedal found. ..." (nothing when another program
    // holds it: the link has said so).
    void no_pedal_found();
    ops::PedalInfo pedal;
    std::array<uint8_t, kPresetImageSize> image{};
    ops::EverythingRead everything;   // slot 0 and its sequences, after connect()
    ops::ConnectOutcome outcome = ops::ConnectOutcome::NotFound;
    // Asked for one more line when no pedal could be opened (see ops::connect).
    std::string (*access_hint)() = nullptr;

    // Before a command overwrites the pedal: true with --yes; on a terminal
    // asks "<what> [y/N]"; otherwise says that --yes is needed and returns
    // false (the command then returns kUsage without sending anything).
    // A question that --yes does not answer (a firmware downgrade) names the
    // option that does, `instead_of_yes`; the command then checks it itself.
    virtual bool confirm(const std::string& what, const char* instead_of_yes) = 0;
    bool confirm(const std::string& what) { return confirm(what, nullptr); }
    // The exit status after confirm() said no: kDeclined when the user
    // answered no, kUsage when there was no terminal to ask on.
    int declined() const { return asked_ ? kDeclined : kUsage; }

    // Where the safety backup goes before this command overwrites the
    // pedal's presets: the presets folder's autobackup/ (created), or empty
    // with --no-backup.
    std::string safety_backup_folder() const;
    // The safety backup before `what` ("restoring the presets from a
    // backup") overwrites the pedal, after connect(). False when it failed
    // (said on standard error): the command then returns kFailed and sends
    // nothing more. True at once with --no-backup.
    // False (said on standard error) when a safety backup is asked for but
    // there is no home folder to put it in.
    bool safety_backup_possible(const std::string& what);
    // `never_remove`: files the pruning of old safety backups must keep (the
    // backup being restored).
    bool safety_backup(const std::string& what, const std::vector<std::string>& never_remove = {});

    // "korvane list": how every error line of the command starts (with ": ").
    std::string who() const;
    // A result line on standard output / an error line on standard error.
    // Control characters in either (a preset's title may hold any byte) are
    // printed escaped ("\x1b"), except tabs and line breaks.
    virtual void out(std::string_view line) = 0;
    virtual void err(std::string_view line) = 0;
    // A status line on standard error, left out with --quiet.
    void note(std::string_view line)
    {
        if (!quiet) err(line);
    }
    // With --json a failure is also said on standard output as
    // {"error": CODE, "message": ...}: the code the failure sets here
    // ("no_pedal"), else one from the exit status; the message is the first
    // error line.
    std::string error_code;
    std::string first_error;
    // A file's bytes on standard output (a FILE given as "-"); false when
    // they could not all be written (said on standard error).
    virtual bool out_bytes(std::span<const uint8_t> bytes) = 0;

    // Before a command that writes FILE talks to the pedal: "-" (standard
    // output), nothing there, a regular file or a link to one is fine;
    // anything else (a device, FIFO, socket, folder) is said on standard
    // error and the command returns kUsage.
    bool output_target_ok(const Command& c, const std::string& path);

    // A usage error: says it and the command's usage on standard error; kUsage.
    int usage_error(const Command& c, std::string_view what);

protected:
    bool asked_ = false;   // confirm() put its question to someone
};

// What `korvane` without a command says when there is no display to open
// the window on (lines ending in newlines).
std::string no_display_text();

// Runs `korvane ARGS...` (argv[0] is the program). Returns the exit status.
int run(int argc, char** argv);

} // namespace kv::cli
