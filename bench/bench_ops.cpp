// Whole user operations against tessivar-sim paced at 115200 baud, through
// the serial driver on a pseudo-terminal, exactly as the program runs them
// (the operations of ops/, with their pauses and a reporter that shows
// nothing). For each operation it prints the time taken as a ratio to its
// wire time plus our pauses, the same ratio against the pauses as the
// whole-second deadline timer would make them (their mean), and the CPU the
// process used meanwhile, as % of one core (nearly all of it waiting).
//
// Usage: bench_ops [path/to/tessivar-sim] [runs]
// (BENCH_MARKDOWN=1 also prints the table as Markdown, as docs/performance.md has it.)

#include "link/PedalWire.h"
#include "link/SerialDriver.h"
#include "link/UsbLink.h"
#include "ops/Backup.h"
#include "ops/Connect.h"
#include "ops/Firmware.h"
#include "ops/Library.h"
#include "ops/Reporter.h"
#include "ops/Transfers.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/PresetRecord.h"
#include "sim/FactoryData.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace kv;

namespace {

double cpu_seconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec) + double(ru.ru_utime.tv_usec) * 1e-6 + double(ru.ru_stime.tv_sec) +
           double(ru.ru_stime.tv_usec) * 1e-6;
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Sim {
public:
    Sim(const std::string& exe, const std::string& devices, bool update_mode)
    {
        std::ofstream(devices).close();
        std::vector<std::string> args = {exe, "--devices", devices, "--pace"};
        if (update_mode) args.push_back("--update-mode");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, exe.c_str(), &quiet, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&quiet);
        for (int i = 0; i < 500 && pid_ > 0 && read_text(devices).find(kPedalDescription) == std::string::npos; ++i)
            usleep(10000);
    }
    ~Sim()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int st = 0;
            waitpid(pid_, &st, 0);
        }
    }
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// A step of an operation as the wire and the deadline timer see it: bytes
// moved (both ways), then a pause. Our pauses are fixed; the whole-second
// timer's last until the seconds counter changes (a limit under 1 s) or
// changes twice (a limit of 1 s), so where they fall depends on the second's
// phase when the operation starts.
enum class Timer { None, NextSecond, SecondAfterNext, Sleep };
struct Step {
    double bytes = 0;
    double ours = 0;            // our pause after the bytes, seconds
    Timer timer = Timer::None;  // the same pause on the whole-second timer (Sleep: a plain
                                // sleep of `ours` seconds on both)
};
using Steps = std::vector<Step>;

Steps repeat(const Steps& steps, int n)
{
    Steps out;
    for (int i = 0; i < n; ++i) out.insert(out.end(), steps.begin(), steps.end());
    return out;
}

constexpr double kWireBytesPerSecond = 11520.0;   // 115200 baud, 10 bits a byte

double wire_seconds(const Steps& steps)
{
    double t = 0;
    for (const Step& s : steps) t += s.bytes / kWireBytesPerSecond;
    return t;
}

double our_figure(const Steps& steps)
{
    double t = wire_seconds(steps);
    for (const Step& s : steps) t += s.ours;
    return t;
}

// The mean over the phase of the second at which the operation starts.
double timer_figure(const Steps& steps)
{
    constexpr int kPhases = 1000;
    double sum = 0;
    for (int k = 0; k < kPhases; ++k) {
        const double start = (k + 0.5) / kPhases;
        double t = start;
        for (const Step& s : steps) {
            t += s.bytes / kWireBytesPerSecond;
            if (s.timer == Timer::NextSecond) t = std::floor(t) + 1.0;
            else if (s.timer == Timer::SecondAfterNext) t = std::floor(t) + 2.0;
            else if (s.timer == Timer::Sleep) t += s.ours;
        }
        sum += t - start;
    }
    return sum / kPhases;
}

struct Operation {
    std::string name;
    bool update_mode = false;   // a simulator in update mode, started afresh for each run
    Steps steps;
    std::function<bool(UsbLink&)> run;
};

DspProgram program_with(uint8_t seed)
{
    DspProgram p{};
    for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(seed * 13 + i * 7);
    return p;
}


}  // namespace

int main(int argc, char** argv)
{
    const std::string exe = argc > 1 ? argv[1] : executable_dir() + "/../tessivar-sim";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (access(exe.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_ops: no simulator at %s (build tessivar-sim or pass its path)\n", exe.c_str());
        return 1;
    }
    const std::string devices = "/tmp/kv_bench_ops_devices_" + std::to_string(getpid());
    setenv("KORVANE_DEVICES", devices.c_str(), 1);

    // Shows nothing and answers "Proceed" where an operation asks first.
    struct ProceedingReporter : ops::SilentReporter {
        int choice(std::string_view, const char*, const char*, const char*) override { return 1; }
    } report;
    std::array<uint8_t, kPresetImageSize> image{};
    ops::EditedPreset preset;
    preset.parameters = default_parameters();
    preset.title = make_title("Bench");
    preset.program_x = program_with(1);
    preset.program_y = program_with(2);

    const AlgorithmLibrary library(AlgorithmLibrary::file_path(find_data_folder()));
    std::array<uint8_t, kPresetImageSize> factory{};
    {
        const PedalMemory m = factory_memory(find_data_folder());
        for (int s = 0; s < kSlotCount; ++s) {
            set_image_parameters(factory.data(), s, m.slots[size_t(s)].parameters);
            set_image_title(factory.data(), s, m.slots[size_t(s)].title);
        }
    }
    const std::string backup_path = "/tmp/kv_bench_ops_backup_" + std::to_string(getpid()) + ".bkp";
    // A package of two 64 KiB images (256 pages each) for firmware 2.3.5.
    const std::string package_path = "/tmp/kv_bench_ops_package_" + std::to_string(getpid()) + ".fdt";
    {
        std::string bytes = "Z\n5\n1\nBenchmark package\n";
        for (size_t i = 0; i < 2 * kFirmwareImageSize; ++i) bytes.push_back(char((i * 13 + i / 4096) & 0xFF));
        std::ofstream(package_path, std::ios::binary) << bytes;
    }

    constexpr double kHeader = kStoreHeaderSize;
    constexpr double kPrograms = 4.0 * kDspProgramSize;   // both programs and their echoes
    constexpr double kReadAll = 1 + kReadAllSize;
    constexpr double kReadPreset = 1 + kPresetRecordSize;
    // A store: the header, a pause (5 ms; the timer: to the next second), the programs echoed.
    const Steps store = {{kHeader, 0.005, Timer::NextSecond}, {kPrograms}};

    std::vector<Operation> operations = {
        // Get Pedal State, the pause before Read All (0.5 s; the timer: to the
        // next second), Read All, Read preset 0 (the factory slot 0 has no arp engine).
        {"start-up, all presets read", false,
         {{1 + kPedalStateSize, 0.5, Timer::NextSecond}, {kReadAll}, {kReadPreset}},
         [&](UsbLink& link) {
             std::string serial;
             return link.setup_device(serial) && ops::connect(link, report, false, image).online();
         }},
        {"read a slot", false, {{kReadPreset}}, [&](UsbLink& link) { return ops::read_slot(link, report, 9).ok; }},
        {"store (WRITE)", false, store, [&](UsbLink& link) { return ops::write_slot(link, report, 9, preset).ok(); }},
        // 32 stores, each followed by 50 ms (the timer: to the next second),
        // then Read All to verify.
        {"restore of 32 presets", false,
         [&] {
             Steps one = store;
             one.back().ours = 0.05;
             one.back().timer = Timer::NextSecond;
             Steps all = repeat(one, kSlotCount);
             all.push_back({kReadAll});
             return all;
         }(),
         [&](UsbLink& link) {
             return ops::restore_image(link, report, factory, ops::library_programs(library)).ok();
         }},
        {"backup", false, {{kReadAll}}, [&](UsbLink& link) { return ops::backup(link, report, backup_path).ok(); }},
        // Every library block the data files fill, each echoed; no pauses.
        {"library update", false,
         [&] {
             const ops::LibraryFilesRead files = ops::read_library_files(find_data_folder());
             const int blocks = kAlgorithmCount + (files.files ? files.files->display_blocks() : 0) +
                                (kLibraryBlocks - kFirstArpBlock);
             return repeat({{1 + 2.0 * kLibraryBlockSize}}, blocks);
         }(),
         [&](UsbLink& link) {
             std::string serial;
             return ops::update_library(link, report, find_data_folder(), serial).outcome ==
                    ops::MaintenanceOutcome::Done;
         }},
        // 256 pages of 256 bytes, each echoed; Set Version; a plain 1 s
        // sleep; then reading everything as at start-up (the firmware before
        // was 2.5.0: nothing to convert).
        {"firmware update (256 pages)", true,
         [&] {
             Steps steps = repeat({{kFirmwareAddressSize + 2.0 * kFirmwarePageSize}}, kFirmwarePages);
             steps.push_back({kSetVersionSize, 1.0, Timer::Sleep});
             steps.push_back({0, 0.5, Timer::NextSecond});
             steps.push_back({kReadAll});
             steps.push_back({kReadPreset});
             return steps;
         }(),
         [&](UsbLink& link) {
             ops::FirmwareUpdate request;
             request.package_path = package_path;
             std::string serial;
             link.setup_device(serial);
             request.before.serial_number = serial;
             request.before.firmware_version = 0x25;
             request.before.pedal_mode = 0x80;
             request.library_path = AlgorithmLibrary::file_path(find_data_folder());
             std::array<uint8_t, kGlobalsSize> globals{};
             return ops::update_firmware(link, report, request, image, globals).outcome ==
                    ops::FirmwareOutcome::Updated;
         }},
    };

    std::printf("%-30s %9s %9s %7s %10s %7s %7s\n", "operation", "wire ms", "took ms", "ratio", "timer ms", "ratio",
                "CPU");
    std::string markdown = "| operation | wire + our pauses | took | ratio | wire + whole-second timer | ratio | CPU |\n"
                           "|---|---:|---:|---:|---:|---:|---:|\n";
    bool all_ok = true;
    for (const Operation& op : operations) {
        // Only the operation's own time is counted: starting a simulator and
        // finding it are not.
        bool ok = true;
        double took = 0, cpu = 0;
        const int sims = op.update_mode ? runs : 1;
        for (int k = 0; k < sims; ++k) {
            Sim sim(exe, devices, op.update_mode);
            if (!sim.running()) {
                std::fprintf(stderr, "bench_ops: cannot start %s\n", exe.c_str());
                return 1;
            }
            SerialDriver driver;
            UsbLink link(driver);
            link.set_console([](const std::string&) {});
            std::string serial;
            if (!link.setup_device(serial)) {
                std::fprintf(stderr, "bench_ops: the simulated pedal was not found\n");
                return 1;
            }
            const double c0 = cpu_seconds();
            const double t0 = system_clock().now();
            for (int i = 0; i < runs / sims; ++i) ok = op.run(link) && ok;
            took += system_clock().now() - t0;
            cpu += cpu_seconds() - c0;
        }
        took /= runs;
        cpu /= runs;
        const double ours = our_figure(op.steps);
        const double timer = timer_figure(op.steps);
        std::printf("%-30s %9.1f %9.1f %7.3f %10.1f %7.3f %6.1f%% %s\n", op.name.c_str(), ours * 1000, took * 1000,
                    took / ours, timer * 1000, took / timer, 100.0 * cpu / took, ok ? "" : "FAILED");
        char row[256];
        std::snprintf(row, sizeof row, "| %s | %.1f ms | %.1f ms | %.3f | %.1f ms | %.3f | %.1f %% |%s\n",
                      op.name.c_str(), ours * 1000, took * 1000, took / ours, timer * 1000, took / timer,
                      100.0 * cpu / took, ok ? "" : " FAILED |");
        markdown += row;
        all_ok = all_ok && ok;
    }
    std::remove(devices.c_str());
    std::remove(backup_path.c_str());
    std::remove(package_path.c_str());
    std::printf("\n%d runs each. wire ms: bytes both ways x 10 bits / 115200 plus our pauses; timer ms: the same\n"
                "with the pauses as the whole-second deadline timer makes them (mean over the second's phase).\n",
                runs);
    if (std::getenv("BENCH_MARKDOWN")) std::printf("\n%s", markdown.c_str());
    return all_ok ? 0 : 2;
}
