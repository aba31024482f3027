// Whole user operations against tessivar-sim paced at 115200 baud, through
// the serial driver on a pseudo-terminal, exactly as the program runs them
// (the operations of ops/, with their pauses and a reporter that shows
// nothing). For each operation it prints the time taken as a ratio to its
// wire time plus our pauses, the same ratio against the pauses as the
// whole-second deadline timer would make them (their mean), and the CPU the
// process used meanwhile, as % of one core (nearly all of it waiting).
//
// Usage: bench_ops [path/to/tessivar-sim] [runs]

#include "link/PedalWire.h"
#include "link/SerialDriver.h"
#include "link/UsbLink.h"
#include "ops/Connect.h"
#include "ops/Reporter.h"
#include "ops/Transfers.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "preset/PresetRecord.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

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
        if (posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
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

// One user operation: the bytes it moves each way, its pauses as we make
// them and as the whole-second timer would (mean), and how to run it.
struct Operation {
    std::string name;
    bool update_mode = false;
    double bytes = 0;
    double our_pauses = 0;
    double timer_pauses = 0;
    std::function<bool(UsbLink&)> run;
};

DspProgram program_with(uint8_t seed)
{
    DspProgram p{};
    for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(seed * 13 + i * 7);
    return p;
}

constexpr double kStoreBytes = kStoreHeaderSize + 2.0 * kDspProgramSize + 2.0 * kDspProgramSize;
constexpr double kReadPresetBytes = 1 + kPresetRecordSize;

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

    ops::SilentReporter report;
    std::array<uint8_t, kPresetImageSize> image{};
    ops::EditedPreset preset;
    preset.parameters = default_parameters();
    preset.title = make_title("Bench");
    preset.program_x = program_with(1);
    preset.program_y = program_with(2);

    std::vector<Operation> operations = {
        // Get Pedal State, the pause before Read All (0.5 s; the whole-second
        // timer makes it 0 to 1 s), Read All, Read preset 0 (no arp engine).
        {"start-up, all presets read", false, 1 + kPedalStateSize + 1 + kReadAllSize + kReadPresetBytes, 0.5, 0.5,
         [&](UsbLink& link) {
             std::string serial;
             return link.setup_device(serial) && ops::connect(link, report, false, image).online();
         }},
        {"read a slot", false, kReadPresetBytes, 0, 0,
         [&](UsbLink& link) { return ops::read_slot(link, report, 9).ok; }},
        // The pause before the first program: 5 ms, or up to the next second (mean 0.5 s).
        {"store (WRITE)", false, kStoreBytes, 0.005, 0.5,
         [&](UsbLink& link) { return ops::write_slot(link, report, 9, preset).ok(); }},
    };

    std::printf("%-30s %9s %9s %7s %10s %7s %7s\n", "operation", "wire ms", "took ms", "ratio", "timer ms", "ratio",
                "CPU");
    bool all_ok = true;
    for (const Operation& op : operations) {
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
        bool ok = true;
        const double c0 = cpu_seconds();
        const double t0 = system_clock().now();
        for (int i = 0; i < runs; ++i) ok = op.run(link) && ok;
        const double took = (system_clock().now() - t0) / runs;
        const double cpu = (cpu_seconds() - c0) / runs;
        const double wire = op.bytes * 10.0 / 115200.0;
        const double ours = wire + op.our_pauses;
        const double timer = wire + op.timer_pauses;
        std::printf("%-30s %9.1f %9.1f %7.3f %10.1f %7.3f %6.1f%% %s\n", op.name.c_str(), ours * 1000, took * 1000,
                    took / ours, timer * 1000, took / timer, 100.0 * cpu / took, ok ? "" : "FAILED");
        all_ok = all_ok && ok;
    }
    std::remove(devices.c_str());
    std::printf("\n%d runs each. wire ms: bytes each way x 10 bits / 115200 plus our pauses; timer ms: the same\n"
                "with the pauses as the whole-second deadline timer makes them (mean).\n",
                runs);
    return all_ok ? 0 : 2;
}
