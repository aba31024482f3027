#pragma once
// The command line's ends: where results, errors and console lines go, how
// a question is answered, and the link the commands use. The program uses
// the process's standard streams and the serial-port driver; tests pass an
// in-process driver, a manual clock and strings.

#include "link/FtDriver.h"
#include "platform/Clock.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kv::cli {

struct Terminal {
    FtDriver* driver = nullptr;   // null: the serial-port driver (with --port)
    Clock* clock = nullptr;       // null: system_clock()
    // Null: standard output / standard error.
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
    // Raw bytes on standard output (a FILE given as "-"); false when they
    // could not all be written. Null: standard output.
    std::function<bool(std::span<const uint8_t>)> out_bytes;
    // After the command: false when something written on standard output did
    // not get there (a full disk). Null: not checked.
    std::function<bool()> out_ok;
    // Someone at a terminal can answer questions (standard input and standard
    // error are terminals); a progress bar is drawn when stderr is one.
    bool interactive = false;
    bool progress_bar = false;
    // Where a progress count ("slot 7/32") goes when progress_bar is set;
    // null: standard error, redrawn in place.
    std::function<void(const std::string&)> count_line;
    // Reads one answer line; null: standard input.
    std::function<std::string()> read_answer;
};

// The process's own terminal.
Terminal process_terminal();

// Runs `korvane ARGS...` (args without the program name) on a terminal.
int run(const std::vector<std::string>& args, const Terminal& terminal);

} // namespace kv::cli
