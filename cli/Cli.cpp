#include "cli/Cli.h"

#include "cli/Parser.h"
#include "cli/Terminal.h"
#include "cli/TerminalReporter.h"
#include "link/DeviceAccess.h"
#include "link/SerialDriver.h"
#include "ops/AutoBackup.h"
#include "ops/Texts.h"
#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>

namespace kv::cli {

namespace {

// A line as the terminal may show it: control characters other than tabs and
// line breaks (a title's escape sequence) written as "\x1b".
std::string escaped(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool write_stdout(std::span<const uint8_t> bytes)
{
    std::fflush(stdout);
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

class TerminalSession : public Session {
public:
    TerminalSession(const Terminal& t, const std::string& port, bool verbose)
        : t_(t), reporter_(t_)
    {
        FtDriver* driver = t_.driver;
        if (!driver) {
            auto serial = std::make_unique<SerialDriver>();
            if (!port.empty()) serial->set_port(port);
            own_driver_ = std::move(serial);
            access_hint = &pedal_access_hint;
            driver = own_driver_.get();
        }
        link_ = std::make_unique<UsbLink>(*driver, t_.clock ? *t_.clock : system_clock());
        if (verbose) {
            link_->set_console([this](const std::string& text) {
                std::string line = text;
                while (!line.empty() && line.back() == '\n') line.pop_back();
                if (!line.empty()) t_.err(line);
            });
        } else {
            link_->set_console([](const std::string&) {});
        }
        link_->set_in_use_notice([this](const LinkResult& r) {
            std::string text = in_use_text(r.holder_pid);
            text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
            err(who() + ": " + text);
        });
    }

    UsbLink& link() override { return *link_; }
    ops::Reporter& report() override { return reporter_; }

    bool confirm(const std::string& what, const char* instead_of_yes) override
    {
        if (yes && !instead_of_yes) return reporter_.confirmed = true;
        if (!t_.interactive) {
            err(who() + ": " + what + ": not done without " + (instead_of_yes ? instead_of_yes : "--yes") +
                " (no terminal to ask on).");
            return false;
        }
        asked_ = true;
        err(what + " [y/N] ");
        const std::string answer = t_.read_answer ? t_.read_answer() : std::string();
        reporter_.confirmed = answer == "y" || answer == "Y" || answer == "yes";
        if (!reporter_.confirmed) err(who() + ": nothing was done.");
        return reporter_.confirmed;
    }

    void out(std::string_view line) override { t_.out(escaped(line)); }
    bool out_bytes(std::span<const uint8_t> bytes) override
    {
        reporter_.end_count();
        if (t_.out_bytes ? t_.out_bytes(bytes) : write_stdout(bytes)) return true;
        err(who() + ": cannot write to standard output.");
        return false;
    }
    void err(std::string_view line) override
    {
        const std::string prefix = who() + ": ";
        if (first_error.empty() && line.substr(0, prefix.size()) == prefix)
            first_error = std::string(line.substr(prefix.size()));
        reporter_.err(escaped(command_line_words(line)));
    }
    void set_quiet(bool q) { reporter_.quiet = q; }

private:
    Terminal t_;
    TerminalReporter reporter_;
    std::unique_ptr<FtDriver> own_driver_;
    std::unique_ptr<UsbLink> link_;
};

} // namespace

std::string Session::who() const { return std::string("korvane") + (command ? std::string(" ") + command->name : ""); }

void Session::no_pedal_found()
{
    // A pedal held by another program has been told about already.
    if (link().last_result().status == LinkStatus::in_use) {
        error_code = "pedal_in_use";
        return;
    }
    error_code = "no_pedal";
    err(who() + ": no pedal found. Connect the pedal to a USB port and power it, then run the command again.");
}

bool Session::connect()
{
    const ops::ConnectResult r = ops::connect(link(), report(), false, image, access_hint);
    outcome = r.outcome;
    pedal = r.pedal;
    everything = r.read;
    switch (r.outcome) {
    case ops::ConnectOutcome::Online:
        return true;
    case ops::ConnectOutcome::NotFound:
        no_pedal_found();
        break;
    case ops::ConnectOutcome::UpdateMode:
        error_code = "update_mode";
        err(who() + ": the pedal waits in update mode (firmware " + pedal.firmware_text() +
            "): finish the firmware update first.");
        break;
    case ops::ConnectOutcome::TooOld:
        error_code = "firmware_too_old";
        err(who() + ": the pedal's firmware " + pedal.firmware_text() + " is too old; update it to 2.3.0 or later.");
        break;
    case ops::ConnectOutcome::UsbProblem:
    case ops::ConnectOutcome::ReadFailed:
        error_code = "no_answer";
        err(who() + ": the pedal did not answer.");
        break;
    }
    return false;
}

std::string Session::safety_backup_folder() const
{
    if (no_backup) return {};
    return ops::auto_backup_folder(presets_folder_path());
}

bool Session::safety_backup_possible(const std::string& what)
{
    if (no_backup || !presets_folder_path().empty()) return true;
    err(who() + ": nothing was sent: the safety backup before " + what + " has no folder to go to. " +
        kNoHomeFolderText);
    return false;
}

bool Session::safety_backup(const std::string& what, const std::vector<std::string>& never_remove)
{
    if (!safety_backup_possible(what)) return false;
    const ops::GuardResult g = ops::guard_with_backup(link(), report(), safety_backup_folder(), what,
                                                      ops::OnBackupFailure::Refuse, never_remove);
    if (g.proceed) return true;
    err(who() + ": nothing was sent: the safety backup before " + what +
        " failed. Give --no-backup to go on without one.");
    return false;
}

bool Session::output_target_ok(const Command& c, const std::string& path)
{
    if (path == "-") return true;
    const OutputTarget target = resolve_output_target(path);
    if (target.ok()) {
        // The folder must be there before the pedal is asked for anything.
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        // The presets folder is made when its first file is written.
        const std::string presets = presets_folder_path();
        const bool in_presets = !presets.empty() && (folder + "/").rfind(presets, 0) == 0;
        if (is_directory(folder) || in_presets) return true;
        err(who() + ": cannot write " + path + ": there is no folder " + folder + ".");
        return false;
    }
    err("korvane " + std::string(c.name) + ": cannot write " + path + ": " + target.reason + ".");
    return false;
}

int Session::usage_error(const Command& c, std::string_view what)
{
    err("korvane " + std::string(c.name) + ": " + std::string(what));
    err("Usage: " + usage_line(c));
    return kUsage;
}

std::string no_display_text()
{
    const char* name = std::getenv("DISPLAY");
    const std::string which = name && *name ? std::string("could not open display ") + name
                                            : std::string("no display: DISPLAY is not set");
    return "korvane: the editor window needs a display (" + which + ").\n"
           "The commands work without one: `korvane --help` lists them, e.g. `korvane list`.\n";
}

Terminal process_terminal()
{
    Terminal t;
    t.out = [](const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    t.out_ok = [] { return std::fflush(stdout) == 0 && !std::ferror(stdout); };
    t.err = [](const std::string& line) {
        std::fputs(line.c_str(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    };
    t.interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    t.progress_bar = isatty(STDERR_FILENO);
    t.read_answer = [] {
        std::string line;
        std::getline(std::cin, line);
        return line;
    };
    return t;
}


int run(const std::vector<std::string>& args, const Terminal& terminal)
{
    Terminal t = terminal;
    if (!t.out) {
        t.out = process_terminal().out;
        t.out_ok = process_terminal().out_ok;
    }
    if (!t.err) t.err = process_terminal().err;

    const ParsedLine parsed = parse_command_line(args, t);
    if (!parsed.command) return parsed.status;
    const std::string& port = parsed.port;
    const bool verbose = parsed.verbose;
    // What killed runs left behind in our folders goes first.
    if (const std::string folder = presets_folder_path(); !folder.empty())
        ops::remove_leftovers(folder, std::time(nullptr));

    TerminalSession session(t, port, verbose);
    session.command = parsed.command;
    session.set_quiet(parsed.quiet);
    session.quiet = parsed.quiet;
    session.args = parsed.operands;
    session.yes = parsed.options & kOptYes;
    session.verbose = verbose;
    session.no_backup = parsed.options & kOptNoBackup;
    session.json = parsed.options & kOptJson;
    session.allow_downgrade = parsed.options & kOptAllowDowngrade;
    session.force = parsed.options & kOptForce;
    session.values = parsed.values;
    session.flags = parsed.flags;
    session.port = port;
    // One operation: the pedal's port stays open and locked until it ends.
    const UsbLink::Hold hold = session.link().hold();
    int status = parsed.command->run(session);
    if (t.out_ok && !t.out_ok()) {
        // `korvane list > /dev/full`: a result nobody got is no success.
        session.err(session.who() + ": cannot write to standard output.");
        session.error_code = "output_failed";
        status = kFailed;
    }
    if (session.json && status != kOk) {
        const char* code = status == kDeclined ? "declined" : status == kUsage ? "usage" : "failed";
        session.out(json_error(session.error_code.empty() ? code : session.error_code,
                               session.first_error.empty() ? "the command failed" : session.first_error));
    }
    return status;
}

int run(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return run(args, process_terminal());
}

} // namespace kv::cli
