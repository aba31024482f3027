#include "ops/DemoPedal.h"

#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kv::ops {

namespace {

// The devices file holds one line per serving simulator; a few hundred bytes.
constexpr size_t kDevicesFileLimit = 64 * 1024;

bool lists_our_port(const std::string& file, const std::string& serial)
{
    const FileRead r = read_file_limited(file, kDevicesFileLimit);
    if (!r) return false;
    const std::string text(r.bytes.begin(), r.bytes.end());
    return text.find("\t" + serial + "\t") != std::string::npos;
}

} // namespace

DemoPedal::~DemoPedal() { stop(); }

std::string DemoPedal::state_folder()
{
    const std::string state = xdg_state_home();
    return state.empty() ? std::string() : state + "/korvane";
}

bool DemoPedal::running() { return process_ && process_->running(); }

DemoPedal::StartResult DemoPedal::start(Clock& clock, const std::function<void()>& idle, double seconds)
{
    if (running()) return {Outcome::Started, {}};
    const std::string program = find_program(kProgram);
    if (program.empty()) return {Outcome::NoProgram, {}};
    const std::string folder = state_folder();
    if (folder.empty()) return {Outcome::NoFolder, kNoHomeFolderText};
    const std::string state_parent = folder.substr(0, folder.rfind('/'));
    // $XDG_STATE_HOME may not exist yet (~/.local/state on a new account).
    for (size_t slash = state_parent.find('/', 1); slash != std::string::npos; slash = state_parent.find('/', slash + 1))
        make_directory(state_parent.substr(0, slash));
    if (!make_directory(state_parent) || !make_directory(folder)) return {Outcome::NoFolder, "cannot create " + folder};

    // One devices file per window, so two windows never share a line; those
    // of windows that ended without taking theirs away go now.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("devices-", 0) != 0) continue;
        const long owner = std::strtol(name.c_str() + 8, nullptr, 10);
        if (!process_exists(owner)) std::filesystem::remove(entry.path(), ignored);
    }
    devices_file_ = folder + "/devices-" + std::to_string(current_process_id());
    std::string error;
    process_ = ChildProcess::start(program,
                                   {"--devices", devices_file_, "--serial", kSerial, "--state",
                                    folder + "/sim-pedal.bin"},
                                   folder + "/sim.log", &error);
    if (!process_) return {Outcome::DidNotStart, error};
    const double until = clock.now() + seconds;
    while (!lists_our_port(devices_file_, kSerial)) {
        if (!process_->running()) {
            process_.reset();
            return {Outcome::DidNotStart, program + " ended at once (see " + folder + "/sim.log)"};
        }
        if (clock.now() >= until) {
            stop();
            return {Outcome::TimedOut, program};
        }
        if (idle) idle();
        clock.sleep(0.02);
    }
    // The device list reads this file first from now on.
    set_env("KORVANE_DEVICES", devices_file_);
    return {Outcome::Started, program};
}

void DemoPedal::stop()
{
    if (!process_) return;
    process_->stop();
    process_.reset();
    // It takes its line out as it ends; a killed one leaves a stale line
    // that the device list skips. The file itself goes.
    std::error_code ignored;
    if (!devices_file_.empty()) std::filesystem::remove(devices_file_, ignored);
}

std::string DemoPedal::failure_text(const StartResult& r)
{
    switch (r.outcome) {
    case Outcome::Started: return {};
    case Outcome::NoProgram:
        return "The simulated pedal could not be started: tessivar-sim is neither beside Korvane nor on PATH.\n"
               "It comes with Korvane's package; with a build from source it is in the build folder.";
    case Outcome::NoFolder: return "The simulated pedal could not be started: " + r.detail;
    case Outcome::DidNotStart: return "The simulated pedal could not be started: " + r.detail;
    case Outcome::TimedOut: return "The simulated pedal did not come up in time (" + r.detail + ").";
    }
    return {};
}

} // namespace kv::ops
