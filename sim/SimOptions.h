#pragma once
// Command line of tessivar-sim.

#include "sim/PedalModel.h"

#include <string>
#include <vector>

namespace kv {

struct SimOptions {
    std::string devices_file;                 // --devices FILE
    std::string serial_number = kDefaultSerialNumber;   // --serial S
    FirmwareVersion version{};                // --firmware X.Y.Z
    bool version_given = false;
    bool update_mode = false;                 // --update-mode
    bool pace = false;                        // --pace
    std::string state_file;                   // --state FILE
    std::string log_file;                     // --log FILE ("-" = standard error)
    std::string data_dir;                     // --data-dir DIR (default: found bin/)
    bool no_answer = false;                   // --no-answer
    bool short_answer = false;                // --short-answer
    int corrupt_echo = 0;                     // --corrupt-echo N
    int spoil_header = 0;                     // --spoil-header N
    int late_ms = 0;                          // --late MS
    int vanish_after = -1;                    // --vanish-after N
    bool help = false;                        // --help
    bool show_version = false;                // --version
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after '=' (--serial=ABC). False with a message in
// *error for an unknown option, a missing or malformed value.
bool parse_sim_options(const std::vector<std::string>& args, SimOptions* out, std::string* error);

// The --help text.
std::string sim_usage();

}  // namespace kv
