// Every operation that writes to the pedal, under every fault the simulated
// pedal can play: no answer, a short answer, one corrupted echo, every echo
// corrupted, and the pedal dropping off the bus halfway through the
// operation's transfers; for the operations that store presets also a Store
// header spoiled on the way in (once, always), which no echo shows. For each cell: the operation ends (in bounded pedal
// time), a failure is never reported as success, the user is told of the
// failure (a dialog, an error bar or a failure line), files on disk are left
// whole, and the pedal holds, slot by slot, either what it held before or the
// new data, never a mix.
//
// Each cell prints one "MATRIX |" line: the table in docs/reliability.md is
// made from them (ctest -R FaultMatrix -V | grep MATRIX).

#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "library/core/BackupFile.h"
#include "ops/Arp.h"
#include "ops/Backup.h"
#include "ops/Firmware.h"
#include "ops/Library.h"
#include "ops/Settings.h"
#include "ops/Transfers.h"
#include "platform/Clock.h"
#include "preset/AlgorithmLibrary.h"
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/SimulatedPedal.h"

#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

enum class Fault { None, NoAnswer, ShortAnswer, CorruptOnce, CorruptAlways, Vanish, SpoilOnce, SpoilAlways };
const std::vector<Fault> kFaults = {Fault::NoAnswer, Fault::ShortAnswer, Fault::CorruptOnce, Fault::CorruptAlways,
                                    Fault::Vanish};
const std::vector<Fault> kPresetFaults = {Fault::NoAnswer,      Fault::ShortAnswer, Fault::CorruptOnce,
                                          Fault::CorruptAlways, Fault::Vanish,      Fault::SpoilOnce,
                                          Fault::SpoilAlways};

const char* fault_name(Fault f)
{
    switch (f) {
    case Fault::None: return "none";
    case Fault::NoAnswer: return "no answer";
    case Fault::ShortAnswer: return "short answer";
    case Fault::CorruptOnce: return "corrupted echo once";
    case Fault::CorruptAlways: return "corrupted echo always";
    case Fault::Vanish: return "pedal vanishes mid-transfer";
    case Fault::SpoilOnce: return "spoiled header once";
    case Fault::SpoilAlways: return "spoiled header always";
    }
    return "?";
}

// One simulated pedal, its link and a recording reporter, on a test clock
// that only the link's waits move.
struct Bench : testing_support::PedalOnLink {
    test::RecordingReporter report;
    long pumps = 0;
    int parts = 0;            // request parts the pedal has seen
    int vanish_at_part = -1;  // drop off the bus once this many parts arrived

    Bench()
    {
        link.set_console([](const std::string&) {});
        link.set_event_pump([this] {
            ++pumps;
            clock.advance(0.001);
        });
        pedal.set_request_observer([this](const PedalRequest&) {
            if (++parts == vanish_at_part) pedal.vanish_now();
        });
    }

    bool failure_shown() const
    {
        if (!report.alerts.empty() || report.bar == ops::Bar::Error) return true;
        for (const std::string& l : report.lines)
            if (l.find("fail") != std::string::npos || l.find("OFFLINE") != std::string::npos ||
                l.find("rror") != std::string::npos)
                return true;
        return false;
    }
};

// One row of the matrix: an operation, what it should leave on the pedal
// when it works, and how to tell old from new.
struct Operation {
    std::string name;
    // Sets the pedal up before the operation (and before "old" is taken).
    std::function<void(Bench&)> prepare;
    // Runs the operation; true when it reported success.
    std::function<bool(Bench&)> run;
    // Per unit (a slot, a sequence, a block): 0 = as before, 1 = the new
    // data, -1 = neither.
    std::function<std::vector<int>(const Bench& b, const PedalMemory& before)> units;
};

struct Cell {
    bool reported_ok = false;
    bool failure_shown = false;
    int old_units = 0, new_units = 0, broken_units = 0;
    double seconds = 0;
};

Cell run_cell(const Operation& op, Fault fault, int vanish_part)
{
    Bench b;
    if (op.prepare) op.prepare(b);
    const PedalMemory before = b.pedal.memory();
    switch (fault) {
    case Fault::None: break;
    case Fault::NoAnswer: b.pedal.set_no_answer(true); break;
    case Fault::ShortAnswer: b.pedal.set_short_answer(true); break;
    case Fault::CorruptOnce: b.pedal.corrupt_next_echoes(1); break;
    case Fault::CorruptAlways: b.pedal.corrupt_next_echoes(1 << 30); break;
    case Fault::SpoilOnce: b.pedal.spoil_next_headers(1); break;
    case Fault::SpoilAlways: b.pedal.spoil_next_headers(1 << 30); break;
    case Fault::Vanish:
        // An operation of one request can only lose the pedal before it.
        if (vanish_part <= 1) b.pedal.vanish_now();
        else b.vanish_at_part = vanish_part;
        break;
    }
    const double t0 = b.clock.now();
    Cell c;
    c.reported_ok = op.run(b);
    c.seconds = b.clock.now() - t0;
    c.failure_shown = b.failure_shown();
    for (int u : op.units(b, before)) {
        if (u == 0) ++c.old_units;
        else if (u == 1) ++c.new_units;
        else ++c.broken_units;
    }
    return c;
}

// The whole row: a clean run first (it must succeed and count the request
// parts, so that the vanishing happens halfway), then every fault.
void check_row(const Operation& op, const std::vector<Fault>& faults = kFaults)
{
    int parts = 0;
    {
        Bench clean;
        if (op.prepare) op.prepare(clean);
        const PedalMemory before = clean.pedal.memory();
        clean.parts = 0;
        ASSERT_TRUE(op.run(clean)) << op.name << " fails without a fault";
        parts = clean.parts;
        for (int u : op.units(clean, before)) ASSERT_EQ(u, 1) << op.name << " clean run";
    }
    for (Fault f : faults) {
        SCOPED_TRACE(op.name + " / " + fault_name(f));
        const Cell c = run_cell(op, f, parts / 2 + (parts > 1 ? 1 : 0));
        EXPECT_LT(c.seconds, 600.0) << "ends in bounded time";
        // A header spoiled on the way is stored by the pedal as it arrived:
        // the slot then holds neither, and the operation must say it failed.
        if (f == Fault::SpoilAlways || (f == Fault::SpoilOnce && c.broken_units > 0))
            EXPECT_FALSE(c.reported_ok) << "a spoiled preset reported as stored";
        else
            EXPECT_EQ(c.broken_units, 0) << "every unit holds its old or its new data";
        if (c.reported_ok) EXPECT_EQ(c.old_units, 0) << "success reported while the pedal kept old data";
        else EXPECT_TRUE(c.failure_shown) << "a failure the user is not told of";
        std::printf("MATRIX | %s | %s | %s | %s | %d old, %d new%s | %.1f s\n", op.name.c_str(), fault_name(f),
                    c.reported_ok ? "success" : "failure", c.failure_shown ? "shown" : "-", c.old_units,
                    c.new_units, c.broken_units ? (", " + std::to_string(c.broken_units) + " spoiled").c_str() : "",
                    c.seconds);
    }
}

// ---- the operations ----

DspProgram program_with(uint8_t seed)
{
    DspProgram p{};
    for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(seed + i * 7);
    return p;
}

ops::EditedPreset new_preset(int slot)
{
    ops::EditedPreset p;
    p.parameters.algorithm_x = uint8_t(slot % 31);
    p.parameters.algorithm_y = 12;
    p.parameters.depth_x = uint8_t(100 + slot);
    p.parameters.volume = kVolumeZeroDb;
    p.title = make_title("New " + std::to_string(slot));
    p.program_x = program_with(uint8_t(slot));
    p.program_y = program_with(uint8_t(90 + slot));
    return p;
}

int slot_state(const PedalSlot& now, const PedalSlot& old, const ops::EditedPreset& fresh)
{
    if (now == old) return 0;
    PedalSlot n{fresh.parameters, fresh.title, fresh.program_x, fresh.program_y};
    return now == n ? 1 : -1;
}

Operation store_operation()
{
    constexpr int kSlot = 5;
    return {"store (WRITE)", {},
            [](Bench& b) { return ops::write_slot(b.link, b.report, kSlot, new_preset(kSlot)).ok(); },
            [](const Bench& b, const PedalMemory& before) {
                return std::vector<int>{slot_state(b.pedal.memory().slots[kSlot], before.slots[kSlot],
                                                   new_preset(kSlot))};
            }};
}

ArpSequence new_sequence()
{
    ArpSequence s;
    for (int k = 0; k < kArpSteps; ++k) s.set_level(k, 200 + 350 * k, false);
    return s;
}

Operation arp_save_operation()
{
    static const ops::ArpTarget target{Engine::Y, AlgorithmId(kFirstArpAlgorithm + 2), 4};   // Sequence III
    return {"arp save", {},
            [](Bench& b) { return ops::save_sequence(b.link, b.report, target, new_sequence()).ok(); },
            [](const Bench& b, const PedalMemory& before) {
                const auto& now = b.pedal.memory().arp(2, 2);
                return std::vector<int>{now == before.arp(2, 2) ? 0 : now == new_sequence().bytes ? 1 : -1};
            }};
}

// A private folder for one cell's files, removed at the end of the test program.
std::string new_folder()
{
    struct Folder {
        kv::test::ScratchFolder scratch{"kv_matrix_"};
        std::string path = scratch.path();
    };
    static std::vector<std::unique_ptr<Folder>> folders;
    folders.push_back(std::make_unique<Folder>());
    return folders.back()->path;
}

std::vector<uint8_t> slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// --- restore (write all) ---

const AlgorithmLibrary& library()
{
    static const AlgorithmLibrary lib(AlgorithmLibrary::file_path(KV_SOURCE_DIR "/bin"));
    return lib;
}

// A backup image unlike the factory presets: every slot's title and depth changed.
const std::array<uint8_t, kPresetImageSize>& restore_image()
{
    static const std::array<uint8_t, kPresetImageSize> image = [] {
        std::array<uint8_t, kPresetImageSize> im{};
        const PedalMemory factory = PedalModel().memory();
        for (int s = 0; s < kSlotCount; ++s) {
            PresetParameters p = factory.slots[size_t(s)].parameters;
            p.depth_x = uint8_t(p.depth_x ^ 0x5A);
            set_image_parameters(im.data(), s, p);
            set_image_title(im.data(), s, make_title("Restored " + std::to_string(s)));
        }
        return im;
    }();
    return image;
}

Operation restore_operation()
{
    // From a backup file, which must come out of it untouched.
    static std::string file;
    return {"restore (write all)", {},
            [](Bench& b) {
                file = new_folder() + "/Tessivar_Backup_12-07-2026.bkp";
                std::ofstream(file, std::ios::binary)
                    .write(reinterpret_cast<const char*>(restore_image().data()), kPresetImageSize);
                std::array<uint8_t, kPresetImageSize> work{};
                return ops::restore(b.link, b.report, file, work, ops::library_programs(library())).ok();
            },
            [](const Bench& b, const PedalMemory& before) {
                const ops::ProgramsFor programs = ops::library_programs(library());
                std::vector<int> units;
                const std::vector<uint8_t> now = slurp(file);
                if (!std::equal(now.begin(), now.end(), restore_image().begin(), restore_image().end()))
                    units.push_back(-1);   // the backup file was changed
                for (int s = 0; s < kSlotCount; ++s) {
                    const ops::SlotPrograms pr = programs(image_parameters(restore_image().data(), s));
                    ops::EditedPreset fresh{image_parameters(restore_image().data(), s),
                                            image_title(restore_image().data(), s), pr.x, pr.y};
                    units.push_back(slot_state(b.pedal.memory().slots[size_t(s)], before.slots[size_t(s)], fresh));
                }
                return units;
            }};
}

// --- backup ---

int files_in(const std::string& folder)
{
    int n = 0;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// A backup over an older one of the same name: the older file stays whole
// until the new one is complete, and no temporary file is left behind. The
// pedal is only read (its units must stay old); the file is the last unit.
Operation backup_operation()
{
    static const std::vector<uint8_t> older(kBackupFileSize, 0xA5);
    static std::string current;
    return {"backup", {},
            [](Bench& b) {
                current = new_folder() + "/Tessivar_Backup_12-07-2026.bkp";
                std::ofstream(current, std::ios::binary).write(reinterpret_cast<const char*>(older.data()),
                                                               std::streamsize(older.size()));
                return ops::backup(b.link, b.report, current).ok();
            },
            [](const Bench& b, const PedalMemory& before) {
                const std::vector<uint8_t> file = slurp(current);
                std::vector<uint8_t> pedal_image(kPresetImageSize);
                for (int s = 0; s < kSlotCount; ++s) {
                    set_image_parameters(pedal_image.data(), s, b.pedal.memory().slots[size_t(s)].parameters);
                    set_image_title(pedal_image.data(), s, b.pedal.memory().slots[size_t(s)].title);
                }
                const bool tidy = files_in(current.substr(0, current.rfind('/'))) == 1;
                const int state = !tidy ? -1 : file == older ? 0 : file == pedal_image ? 1 : -1;
                // In the clean run the pedal's memory is compared with a fresh
                // one: a backup leaves the pedal as it was either way.
                return std::vector<int>{b.pedal.memory() == before ? state : -1};
            }};
}

// --- global settings write ---

GlobalsRecord new_globals()
{
    GlobalsRecord r = GlobalsRecord::startup();
    r.set_aux(AuxContact::Tip, 3);
    r.bytes[3] = 0x45;   // favourite 6A, three pages
    r.bytes[10] = 77;
    return r;
}

Operation globals_operation()
{
    return {"global settings write", {},
            [](Bench& b) { return ops::send_globals(b.link, b.report, new_globals()); },
            [](const Bench& b, const PedalMemory& before) {
                const auto& now = b.pedal.memory().globals;
                return std::vector<int>{now == before.globals ? 0 : now == new_globals().bytes ? 1 : -1};
            }};
}

// --- library update ---

const std::string& data_folder()
{
    static const std::string folder = KV_SOURCE_DIR "/bin";
    return folder;
}

// The blocks an update writes: the algorithm images, the display data's
// blocks and the arp table's, each compared with a pedal whose library was
// something else before.
std::vector<int> written_blocks()
{
    std::vector<int> blocks;
    const ops::LibraryFilesRead files = ops::read_library_files(data_folder());
    for (int b = 0; b < kAlgorithmCount; ++b) blocks.push_back(b);
    for (int b = 0; files.files && b < files.files->display_blocks(); ++b) blocks.push_back(kFirstDisplayBlock + b);
    for (int b = kFirstArpBlock; b < kLibraryBlocks; ++b) blocks.push_back(b);
    return blocks;
}

Operation library_operation()
{
    return {"library update",
            [](Bench& b) {
                for (auto& block : b.pedal.memory().library) block.fill(0xEE);
                b.report.answers = {1};   // "Proceed"
            },
            [](Bench& b) {
                std::string serial;
                return ops::update_library(b.link, b.report, data_folder(), serial).outcome ==
                       ops::MaintenanceOutcome::Done;
            },
            [](const Bench& b, const PedalMemory& before) {
                static const PedalMemory factory = factory_memory(data_folder());
                std::vector<int> units;
                for (int k : written_blocks()) {
                    const auto& now = b.pedal.memory().library[size_t(k)];
                    units.push_back(now == before.library[size_t(k)] ? 0 : now == factory.library[size_t(k)] ? 1 : -1);
                }
                return units;
            }};
}

// --- factory reset ---

Operation factory_reset_operation()
{
    return {"factory reset",
            [](Bench& b) {
                // A pedal far from factory: the restored presets and other settings.
                const ops::ProgramsFor programs = ops::library_programs(library());
                for (int s = 0; s < kSlotCount; ++s) {
                    PedalSlot& slot = b.pedal.memory().slots[size_t(s)];
                    slot.parameters = image_parameters(restore_image().data(), s);
                    slot.title = image_title(restore_image().data(), s);
                    const ops::SlotPrograms pr = programs(slot.parameters);
                    slot.program_x = pr.x;
                    slot.program_y = pr.y;
                }
                b.pedal.memory().globals = new_globals().bytes;
                b.report.answers = {1};   // "Proceed"
            },
            [](Bench& b) {
                std::string serial;
                std::array<uint8_t, kPresetImageSize> image{};
                std::array<uint8_t, kGlobalsSize> globals{};
                return ops::factory_reset(b.link, b.report, data_folder(), serial, image, globals).outcome ==
                       ops::MaintenanceOutcome::Done;
            },
            [](const Bench& b, const PedalMemory& before) {
                static const PedalMemory factory = factory_memory(data_folder());
                const ops::ProgramsFor programs = ops::library_programs(library());
                std::vector<int> units;
                for (int s = 0; s < kSlotCount; ++s) {
                    const PedalSlot& f = factory.slots[size_t(s)];
                    const ops::SlotPrograms pr = programs(f.parameters);
                    const ops::EditedPreset fresh{f.parameters, f.title, pr.x, pr.y};
                    units.push_back(slot_state(b.pedal.memory().slots[size_t(s)], before.slots[size_t(s)], fresh));
                }
                const auto& g = b.pedal.memory().globals;
                units.push_back(g == before.globals ? 0 : g == ops::factory_globals_record() ? 1 : -1);
                return units;
            }};
}

// --- firmware update ---

// A package of 16 pages for firmware 2.3.5, its two images told apart.
const std::string& firmware_package()
{
    static const std::string path = [] {
        const std::string p = new_folder() + "/update.fdt";
        std::string bytes = "Z\n5\n1\nA note\n";
        for (int i = 0; i < 2 * 16 * int(kFirmwarePageSize); ++i) bytes.push_back(char((i * 13 + i / 4096) & 0xFF));
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }();
    return path;
}

// "Old": the pedal still waits in update mode for another attempt (whatever
// pages it took); "new": it runs the package's version with every page in place.
Operation firmware_operation()
{
    return {"firmware update",
            [](Bench& b) { b.pedal.set_update_mode(true); },
            [](Bench& b) {
                ops::FirmwareUpdate request;
                request.package_path = firmware_package();
                request.before.serial_number = "TSV0417A";
                request.before.firmware_version = 0x25;
                request.before.pedal_mode = 0x80;
                request.library_path = AlgorithmLibrary::file_path(data_folder());
                std::array<uint8_t, kPresetImageSize> image{};
                std::array<uint8_t, kGlobalsSize> globals{};
                return ops::update_firmware(b.link, b.report, request, image, globals).outcome ==
                       ops::FirmwareOutcome::Updated;
            },
            [](const Bench& b, const PedalMemory&) {
                const ops::PackageRead p = ops::read_firmware_package(firmware_package());
                if (b.pedal.update_mode()) return std::vector<int>{0};
                bool pages = p.ok();
                for (int i = 0; pages && i < p.package->pages_sent(); ++i) {
                    const auto page = p.package->page("TSV0417A", i);
                    pages = std::equal(page.begin(), page.end(),
                                       b.pedal.memory().firmware.begin() + long(i) * long(kFirmwarePageSize));
                }
                const bool version = b.pedal.firmware_version() == FirmwareVersion{2, 3, 5};
                return std::vector<int>{pages && version ? 1 : -1};
            }};
}

TEST(FaultMatrix, Store) { check_row(store_operation(), kPresetFaults); }
TEST(FaultMatrix, ArpSave) { check_row(arp_save_operation()); }
TEST(FaultMatrix, Restore) { check_row(restore_operation(), kPresetFaults); }
TEST(FaultMatrix, Backup) { check_row(backup_operation()); }
TEST(FaultMatrix, GlobalSettingsWrite) { check_row(globals_operation()); }
TEST(FaultMatrix, LibraryUpdate) { check_row(library_operation()); }
TEST(FaultMatrix, FactoryReset) { check_row(factory_reset_operation(), kPresetFaults); }
TEST(FaultMatrix, FirmwareUpdate) { check_row(firmware_operation()); }

} // namespace
} // namespace kv
