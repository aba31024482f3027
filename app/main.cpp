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
#include "app/Korvane.h"
#include "cli/Cli.h"
#include "link/DeviceAccess.h"

#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/x.H>

#include <cstdio>
#include <string>

namespace {

// The window's own options; false when the arguments are a command's.
bool window_options(int argc, char** argv, kv::KorvaneSetup& setup)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
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
    if (!window_options(argc, argv, setup)) return kv::cli::run(argc, argv);
    if (const auto v = kv::get_env("KORVANE_VERBOSE"); v && !v->empty() && *v != "0") setup.verbose = true;

    // The toolkit would end the program with a bare "Can't open display".
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs(kv::cli::no_display_text().c_str(), stderr);
        return kv::cli::kUsage;
    }
    fl_open_display(display);
    kv::read_toolkit_options();

    // Console lines show at once even when standard output is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

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
