#include "sim/SimOptions.h"

namespace kv {

namespace {

bool parse_count(const std::string& text, int max, int* out)
{
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > max) return false;
    *out = v;
    return true;
}

}  // namespace

std::string sim_usage()
{
    return "Usage: tessivar-sim [options]\n"
           "Serves a simulated Brakwell Tessivar pedal on a pseudo-terminal and prints\n"
           "\"tessivar-sim: serving on <tty>\" once it answers. Stops on SIGTERM or SIGINT.\n"
           "\n"
           "  --devices FILE      add \"<tty>\\tBrakwell Tessivar\\t<serial>\\t<pid>\" to FILE while\n"
           "                      serving (the list the editor reads through KORVANE_DEVICES); the\n"
           "                      line is removed again on exit; lines of ended processes are\n"
           "                      tidied away\n"
           "  --serial S          serial number of the bridge (default TSV0417A)\n"
           "  --firmware X.Y.Z    firmware version the pedal reports (default 2.5.0;\n"
           "                      major and minor 0-15, patch 0-127)\n"
           "  --update-mode       power up in firmware update mode\n"
           "  --pace              deliver bytes at the wire rate of 115200 baud 8N1\n"
           "                      (11520 bytes a second each way)\n"
           "  --state FILE        keep the pedal's memory in FILE: loaded at start (a missing\n"
           "                      or damaged file gives a factory-fresh pedal), saved after\n"
           "                      changes and on exit\n"
           "  --log FILE          log every request (time, command, length, first bytes);\n"
           "                      '-' logs to standard error; default: no log\n"
           "  --data-dir DIR      folder of the factory data files (factoryset.fap,\n"
           "                      error_log.fvc, arpdata.bin, dispdata.bin); default: bin/ in\n"
           "                      the working directory, beside the program, one level up\n"
           "                      or in the installed share/korvane/\n"
           "Faults:\n"
           "  --no-answer         never answer (every byte is lost)\n"
           "  --short-answer      every answer stops after its first half\n"
           "  --corrupt-echo N    spoil the last byte of the next N echoed blocks\n"
           "  --spoil-header N    flip one parameter bit of the next N Store headers (not echoed)\n"
           "  --late MS           start every answer MS milliseconds late\n"
           "  --vanish-after N    drop off the bus after answering N requests (0: at once):\n"
           "                      the tty closes and the devices line goes\n"
           "  --help              this text\n"
           "  --version           the program's version\n";
}

bool parse_sim_options(const std::vector<std::string>& args, SimOptions* out, std::string* error)
{
    SimOptions o;
    auto fail = [&](const std::string& msg) {
        if (error) *error = msg;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool has_value = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            has_value = true;
        }
        auto take = [&](std::string* v) {
            if (has_value) {
                *v = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            *v = args[++i];
            return true;
        };
        auto flag = [&](bool* b) {
            if (has_value) return false;
            *b = true;
            return true;
        };
        std::string v;
        if (name == "--help" || name == "-h") {
            if (!flag(&o.help)) return fail(name + " takes no value");
        } else if (name == "--version") {
            if (!flag(&o.show_version)) return fail(name + " takes no value");
        } else if (name == "--update-mode") {
            if (!flag(&o.update_mode)) return fail(name + " takes no value");
        } else if (name == "--pace") {
            if (!flag(&o.pace)) return fail(name + " takes no value");
        } else if (name == "--no-answer") {
            if (!flag(&o.no_answer)) return fail(name + " takes no value");
        } else if (name == "--short-answer") {
            if (!flag(&o.short_answer)) return fail(name + " takes no value");
        } else if (name == "--devices" || name == "--state" || name == "--log" || name == "--data-dir" ||
                   name == "--serial") {
            if (!take(&v) || v.empty()) return fail(name + " needs a value");
            if (name == "--devices") o.devices_file = v;
            else if (name == "--state") o.state_file = v;
            else if (name == "--log") o.log_file = v;
            else if (name == "--data-dir") o.data_dir = v;
            else {
                if (v.size() > 15 || v.find_first_of("\t\n\r") != std::string::npos)
                    return fail("--serial: at most 15 characters, no tabs or line breaks");
                o.serial_number = v;
            }
        } else if (name == "--firmware") {
            if (!take(&v) || !parse_firmware_version(v, &o.version))
                return fail("--firmware needs X.Y.Z (major and minor 0-15, patch 0-127)");
            o.version_given = true;
        } else if (name == "--spoil-header") {
            if (!take(&v) || !parse_count(v, 1000000, &o.spoil_header)) return fail("--spoil-header needs a count");
        } else if (name == "--corrupt-echo") {
            if (!take(&v) || !parse_count(v, 1000000, &o.corrupt_echo)) return fail("--corrupt-echo needs a count");
        } else if (name == "--late") {
            if (!take(&v) || !parse_count(v, 600000, &o.late_ms)) return fail("--late needs milliseconds");
        } else if (name == "--vanish-after") {
            if (!take(&v) || !parse_count(v, 100000000, &o.vanish_after)) return fail("--vanish-after needs a count");
        } else {
            return fail("unknown option " + args[i]);
        }
    }
    if (out) *out = o;
    return true;
}

}  // namespace kv
