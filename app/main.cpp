// Entry point. With a command (`korvane list`, `korvane --help`) the command
// line runs it and the toolkit is never started, so no display is needed.
// Alone, or with only the window's options (--demo: start with the simulated
// pedal; --verbose: every USB step on standard output, as KORVANE_VERBOSE=1
// does), it builds the main window, starts it (the start-up connect
// sequence), runs the event loop until the window closes, and returns the
// loop's result; a pedal whose firmware is too old ends the program at once
// with status 0. Without a display it says that the commands need none and
// exits with the usage status.

#include "app/Desktop.h"
#include "app/DesktopSystem.h"
#include "app/Korvane.h"
#include "cli/Cli.h"
#include "link/DeviceAccess.h"

#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The window's own options; false when the arguments are a command's.
bool window_options(const std::vector<std::string>& args, kv::KorvaneSetup& setup)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--demo") setup.demo = true;
        else if (a == "--verbose" || a == "-v") setup.verbose = true;
        else return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    kv::KorvaneSetup setup;
    std::vector<std::string> args = kv::program_arguments(argc, argv);
    if (!window_options(args, setup)) {
        kv::attach_command_console();
        std::vector<char*> utf8;
        for (std::string& a : args) utf8.push_back(a.data());
        utf8.push_back(nullptr);
        return kv::cli::run(int(args.size()), utf8.data());
    }
    if (const auto v = kv::get_env("KORVANE_VERBOSE"); v && !v->empty() && *v != "0") setup.verbose = true;

    if (!kv::open_desktop()) {
        std::fputs(kv::cli::no_display_text().c_str(), stderr);
        return kv::cli::kUsage;
    }
    kv::read_toolkit_options();

    kv::console_lines_at_once();

    // The presets folder hangs from the home folder: without one the window
    // would make its folders in the working directory.
    if (kv::presets_folder_path().empty()) {
        std::fprintf(stderr, "korvane: %s\n", kv::kNoHomeFolderText);
        fl_alert("%s", kv::kNoHomeFolderText);
        return 1;
    }

    setup.access_hint = &kv::pedal_access_hint;   // says why a pedal that is there could not be opened
    auto* window = new kv::Korvane(kv::kWindowWidth, kv::kWindowHeight, kv::kWindowTitle, setup);
    if (window->start() == kv::Korvane::StartResult::EndProgram) {
        delete window;
        return 0;
    }
    const int result = Fl::run();
    delete window;
    return result;
}
