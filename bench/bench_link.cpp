// Link throughput and waiting cost against tessivar-sim paced at 115200 baud.
//
// Starts the simulator on a pseudo-terminal (and a second one in update mode
// for the firmware pages), talks to it through the serial driver exactly as
// the program does, and prints for each transfer the time it took as a ratio
// to its wire time (bytes each way x 10 bits / 115200, plus the fixed pauses
// of the exchange) and the CPU the process used meanwhile, as % of one core.
//
// Usage: bench_link [path/to/tessivar-sim]

#include "link/PedalWire.h"
#include "link/SerialDriver.h"
#include "link/UsbLink.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "preset/PresetRecord.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

constexpr size_t kStorePrograms = 2 * kDspProgramSize;   // DSP-X and DSP-Y, each echoed
constexpr double kStorePause = 0.005;                    // the link's pause before the first program


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

struct Row {
    std::string name;
    int repeats = 1;
    double bytes_out = 0;   // per repeat
    double bytes_in = 0;
    double pauses = 0;      // seconds per repeat
    std::function<bool()> run;
};

struct Result {
    double wall = 0;
    double cpu = 0;
    bool ok = true;
};

Result measure(const Row& row)
{
    Clock& clock = system_clock();
    Result r;
    const double c0 = cpu_seconds();
    const double t0 = clock.now();
    for (int i = 0; i < row.repeats; ++i) r.ok = row.run() && r.ok;
    r.wall = clock.now() - t0;
    r.cpu = cpu_seconds() - c0;
    return r;
}

// The time the row's transfers need on the wire, pauses included.
double wire_seconds(const Row& row)
{
    return row.repeats * ((row.bytes_out + row.bytes_in) / kWireBytesPerSecond + row.pauses);
}

void print(const Row& row, const Result& r)
{
    const double wire = wire_seconds(row);
    std::printf("%-22s %5d %10.1f %10.1f %7.3f %8.1f %%  %s\n", row.name.c_str(), row.repeats, wire * 1000.0,
                r.wall * 1000.0, r.wall / wire, 100.0 * r.cpu / r.wall, r.ok ? "ok" : "FAILED");
}

DspProgram program_with(uint8_t seed)
{
    DspProgram p{};
    for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(seed * 13 + i * 7);
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    std::string exe = argc > 1 ? argv[1] : executable_dir() + "/../tessivar-sim";
    if (access(exe.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_link: no simulator at %s (build tessivar-sim or pass its path)\n", exe.c_str());
        return 1;
    }
    const std::string devices = "/tmp/kv_bench_link_devices_" + std::to_string(getpid());
    std::ofstream(devices).close();
    setenv("KORVANE_DEVICES", devices.c_str(), 1);

    SerialDriver driver;
    UsbLink link(driver);
    int console_lines = 0;
    link.set_console([&](const std::string&) { ++console_lines; });

    std::vector<std::pair<Row, Result>> rows;
    {
        Sim sim(exe, devices, false);
        if (!sim.running()) {
            std::fprintf(stderr, "bench_link: cannot start %s\n", exe.c_str());
            return 1;
        }
        std::string serial;
        if (!link.setup_device(serial)) {
            std::fprintf(stderr, "bench_link: the simulated pedal was not found\n");
            return 1;
        }
        std::printf("%-22s %5s %10s %10s %7s %10s\n", "transfer", "count", "wire ms", "took ms", "ratio", "CPU");
        std::array<uint8_t, kPresetImageSize> image{};
        const PresetParameters params = default_parameters();
        const PresetTitle title = make_title("Bench");
        const DspProgram x = program_with(1);
        const DspProgram y = program_with(2);
        std::vector<uint8_t> block(kLibraryBlockSize);
        for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 5);
        int slot = 0;
        int lib = 0;

        std::vector<Row> normal = {
            {"Get Pedal State", 20, 1, kPedalStateSize, 0, [&] { return link.get_pedal_state(); }},
            {"Read All", 5, 1, kReadAllSize, 0, [&] { return link.read_all(image); }},
            {"Store (one)", 1, kStoreHeaderSize + kStorePrograms, kStorePrograms, kStorePause,
             [&] { return link.store_preset(3, params, title, x, y) == 0; }},
            {"Store (32 slots)", kSlotCount, kStoreHeaderSize + kStorePrograms, kStorePrograms, kStorePause,
             [&] { return link.store_preset(slot++ % kSlotCount, params, title, x, y) == 0; }},
            {"Library blocks", kLibraryBlocks, 1 + kLibraryBlockSize, kLibraryBlockSize, 0,
             [&] { return link.write_library_block(lib++ % kLibraryBlocks, block.data()); }},
        };
        for (auto& row : normal) {
            Result r = measure(row);
            print(row, r);
            rows.emplace_back(row, r);
        }
    }
    {
        std::ofstream(devices).close();
        Sim sim(exe, devices, true);
        if (!sim.running()) return 1;
        std::vector<uint8_t> page(kFirmwarePageSize);
        for (size_t i = 0; i < page.size(); ++i) page[i] = uint8_t(255 - i);
        int n = 0;
        Row row{"Firmware pages", kFirmwarePages, kFirmwareAddressSize + kFirmwarePageSize, kFirmwarePageSize, 0, [&] {
                    return link.write_firmware_page(uint16_t((n++ % kFirmwarePages) * kFirmwarePageSize), page.data()) == 0;
                }};
        Result r = measure(row);
        print(row, r);
        rows.emplace_back(row, r);
    }
    std::remove(devices.c_str());

    std::printf("\n(%d console lines produced and discarded)\n", console_lines);
    bool within = true;
    for (const auto& [row, r] : rows) {
        const double wire = wire_seconds(row);
        const bool bulk = row.bytes_in + row.bytes_out > 100;
        if (!r.ok || (bulk && r.wall / wire > 1.3) || 100.0 * r.cpu / r.wall > 10.0) within = false;
    }
    std::printf("targets (bulk within 1.3 x wire time, waiting CPU under 10 %% of a core): %s\n",
                within ? "met" : "NOT met");
    return within ? 0 : 2;
}
