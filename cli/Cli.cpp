#include "cli/Cli.h"

#include "cli/Terminal.h"
#include "link/DeviceAccess.h"
#include "link/SerialDriver.h"
#include "ops/AutoBackup.h"
#include "ops/Texts.h"
#include "platform/AtomicFile.h"
#include "platform/Platform.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>

namespace kv::cli {

namespace {

// Status-board lines come without their stamp and with the board's two
// leading blanks taken off.
std::string trimmed(std::string_view line)
{
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return std::string(line);
}

class TerminalReporter : public ops::Reporter {
public:
    explicit TerminalReporter(const Terminal& t) : t_(t) {}
    bool confirmed = false;   // the user agreed to overwrite the pedal (--yes or asked)

    LocalTime now() override { return local_time_now(); }
    void status(const LocalTime&, std::string_view first, std::string_view second) override
    {
        t_.err(trimmed(first));
        if (!second.empty()) t_.err(trimmed(second));
    }
    void status_uncounted(const LocalTime&, std::string_view line) override { t_.err(trimmed(line)); }
    void progress(double, std::optional<std::string_view>, ops::Bar) override {}
    void alert(std::string_view text) override { t_.err(std::string(text)); }
    void message(std::string_view text) override { t_.err(std::string(text)); }
    // The operations ask "Cancel" first and the action second: the answer
    // is the action when the command was confirmed before it started.
    int choice(std::string_view text, const char*, const char*, const char*) override
    {
        t_.err(std::string(text));
        return confirmed ? 1 : 0;
    }

private:
    const Terminal& t_;
};

// A bar on standard error for the long transfers, redrawn in place.
class TerminalProgress : public LinkProgress {
public:
    explicit TerminalProgress(const Terminal& t) : t_(t) {}
    ~TerminalProgress() override { finish(); }
    void set_value(double value) override { value_ = value; }
    void set_label(const std::string& label) override { label_ = label; }
    void redraw() override
    {
        const int filled = int(value_ / 100.0 * 30 + 0.5);
        std::string bar = "\r[" + std::string(size_t(std::clamp(filled, 0, 30)), '#') +
                          std::string(size_t(30 - std::clamp(filled, 0, 30)), ' ') + "] ";
        char pct[16];
        std::snprintf(pct, sizeof pct, "%3.0f%% ", value_);
        std::fputs((bar + pct + label_ + "\x1b[K").c_str(), stderr);
        drawn_ = true;
    }
    void finish()
    {
        if (drawn_) std::fputs("\n", stderr);
        drawn_ = false;
    }

private:
    const Terminal& t_;
    double value_ = 0;
    std::string label_;
    bool drawn_ = false;
};

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
        if (t_.progress_bar) {
            progress_ = std::make_unique<TerminalProgress>(t_);
            link_->set_progress(progress_.get());
        }
        link_->set_in_use_notice([this](const LinkResult& r) { err(in_use_text(r.holder_pid)); });
    }

    UsbLink& link() override { return *link_; }
    ops::Reporter& report() override { return reporter_; }

    bool confirm(const std::string& what) override
    {
        if (yes) return reporter_.confirmed = true;
        if (!t_.interactive) {
            err("korvane: " + what + ": not done without --yes (no terminal to ask on).");
            return false;
        }
        err(what + " [y/N] ");
        const std::string answer = t_.read_answer ? t_.read_answer() : std::string();
        reporter_.confirmed = answer == "y" || answer == "Y" || answer == "yes";
        if (!reporter_.confirmed) err("korvane: nothing was done.");
        return reporter_.confirmed;
    }

    void out(std::string_view line) override { t_.out(std::string(line)); }
    bool out_bytes(std::span<const uint8_t> bytes) override
    {
        if (progress_) progress_->finish();
        if (t_.out_bytes ? t_.out_bytes(bytes) : write_stdout(bytes)) return true;
        err("korvane: cannot write to standard output.");
        return false;
    }
    void err(std::string_view line) override
    {
        if (progress_) progress_->finish();
        t_.err(std::string(line));
    }

private:
    Terminal t_;
    TerminalReporter reporter_;
    std::unique_ptr<FtDriver> own_driver_;
    std::unique_ptr<UsbLink> link_;
    std::unique_ptr<TerminalProgress> progress_;
};

void print_overview(const Terminal& t)
{
    t.out("Usage: korvane                      open the editor window");
    t.out("       korvane COMMAND [OPTIONS] [ARGUMENTS]");
    t.out("");
    t.out("Commands:");
    for (const Command& c : commands()) {
        std::string name = c.name;
        name.resize(std::max<size_t>(name.size(), 16), ' ');
        t.out("  " + name + "  " + c.summary);
    }
    t.out("");
    t.out("Options:");
    t.out("  --port PATH       talk to the pedal on this serial port instead of searching");
    t.out("  --yes             answer yes to the question before the pedal is overwritten");
    t.out("  --verbose         print every USB step on standard error");
    t.out("  --no-backup       no safety backup before the pedal's presets are overwritten");
    t.out("  --force           store presets that break the editor's rules as they are");
    t.out("  --help            this text; `korvane COMMAND --help` tells about one command");
    t.out("");
    t.out("Exit status: 0 done, 1 the pedal operation failed, 2 a usage error or a bad file.");
}

void print_command_help(const Terminal& t, const Command& c)
{
    t.out(std::string("Usage: ") + c.usage + " [--port PATH] [--verbose]");
    t.out("");
    t.out(std::string(c.summary) + ".");
    std::string help = c.help;
    size_t start = 0;
    while (start < help.size()) {
        size_t nl = help.find('\n', start);
        if (nl == std::string::npos) nl = help.size();
        t.out(help.substr(start, nl - start));
        start = nl + 1;
    }
}

} // namespace

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
        // A pedal held by another program has been told about already.
        if (link().last_result().status != LinkStatus::in_use) err("korvane: no pedal found.");
        break;
    case ops::ConnectOutcome::UpdateMode:
        err("korvane: the pedal waits in update mode (firmware " + pedal.firmware_text() +
            "): finish the firmware update first.");
        break;
    case ops::ConnectOutcome::TooOld:
        err("korvane: the pedal's firmware " + pedal.firmware_text() + " is too old; update it to 2.3.0 or later.");
        break;
    case ops::ConnectOutcome::UsbProblem:
    case ops::ConnectOutcome::ReadFailed:
        err("korvane: the pedal did not answer.");
        break;
    }
    return false;
}

std::string Session::safety_backup_folder() const
{
    if (no_backup) return {};
    return ops::auto_backup_folder(ensure_data_folder(home_drive()));
}

bool Session::safety_backup_possible(const std::string& what)
{
    if (no_backup || !home_drive().empty()) return true;
    err(std::string("korvane: nothing was sent: the safety backup before ") + what + " has no folder to go to. " +
        kNoHomeFolderText);
    return false;
}

bool Session::safety_backup(const std::string& what, const std::vector<std::string>& never_remove)
{
    if (!safety_backup_possible(what)) return false;
    const ops::GuardResult g = ops::guard_with_backup(link(), report(), safety_backup_folder(), what,
                                                      ops::OnBackupFailure::Refuse, never_remove);
    if (g.proceed) return true;
    err("korvane: nothing was sent: the safety backup before " + what +
        " failed. Give --no-backup to go on without one.");
    return false;
}

bool Session::output_target_ok(const Command& c, const std::string& path)
{
    if (path == "-") return true;
    const OutputTarget target = resolve_output_target(path);
    if (target.ok()) return true;
    err("korvane " + std::string(c.name) + ": cannot write " + path + ": " + target.reason + ".");
    return false;
}

int Session::usage_error(const Command& c, std::string_view what)
{
    err("korvane " + std::string(c.name) + ": " + std::string(what));
    err(std::string("Usage: ") + c.usage);
    return kUsage;
}

Terminal process_terminal()
{
    Terminal t;
    t.out = [](const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
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
    if (!t.out) t.out = process_terminal().out;
    if (!t.err) t.err = process_terminal().err;

    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        print_overview(t);
        return args.empty() ? kUsage : kOk;
    }
    const Command* command = nullptr;
    for (const Command& c : commands())
        if (args[0] == c.name) command = &c;
    if (!command) {
        t.err("korvane: unknown command '" + args[0] + "'. `korvane --help` lists the commands.");
        return kUsage;
    }

    std::vector<std::string> rest;
    std::string port;
    bool yes = false, verbose = false, help = false, options_end = false, no_backup = false, force = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_end || a.empty() || a[0] != '-' || a == "-") {
            rest.push_back(a);
        } else if (a == "--") {
            options_end = true;
        } else if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (a == "--verbose" || a == "-v") {
            verbose = true;
        } else if (a == "--no-backup") {
            no_backup = true;
        } else if (a == "--force") {
            force = true;
        } else if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
            if (a == "--port") {
                if (i + 1 >= args.size()) {
                    t.err("korvane " + std::string(command->name) + ": --port needs a serial port path");
                    return kUsage;
                }
                port = args[++i];
            } else {
                port = a.substr(7);
            }
        } else {
            t.err("korvane " + std::string(command->name) + ": unknown option '" + a + "'");
            t.err(std::string("Usage: ") + command->usage);
            return kUsage;
        }
    }
    if (help) {
        print_command_help(t, *command);
        return kOk;
    }
    // What killed runs left behind in our folders goes first.
    if (const std::string drive = home_drive(); !drive.empty())
        ops::remove_leftovers(drive + "/Brakwell/Korvane/presets/", std::time(nullptr));

    TerminalSession session(t, port, verbose);
    session.args = std::move(rest);
    session.yes = yes;
    session.verbose = verbose;
    session.no_backup = no_backup;
    session.force = force;
    session.port = port;
    // One operation: the pedal's port stays open and locked until it ends.
    const UsbLink::Hold hold = session.link().hold();
    return command->run(session);
}

int run(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return run(args, process_terminal());
}

} // namespace kv::cli
