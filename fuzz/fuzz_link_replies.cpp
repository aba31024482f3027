// The link and the pedal operations against a scripted pedal: whatever bytes
// it answers, however many, however late (up to beyond every deadline), or
// that it drops off the bus. The input is a script: first the operations to
// run, then, for each piece of a request that reaches the pedal, how to
// answer it. The clock is the test clock, moved by the link's event pump, so
// a wait that never ends shows up as the fuzzer's timeout; a wait that spins
// for more than ten minutes of pedal time is reported here as a hang.
//
// Beyond crashes: a store reported as verified must have had both programs
// echoed back faithfully, and a sequence or record handed back must come
// from a complete reply.

#include "fuzz/FuzzSupport.h"
#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "library/core/BackupFile.h"
#include "ops/Arp.h"
#include "ops/Backup.h"
#include "ops/Connect.h"
#include "ops/Firmware.h"
#include "ops/Library.h"
#include "ops/Settings.h"
#include "ops/Migration.h"
#include "ops/Transfers.h"
#include "platform/Clock.h"
#include "preset/AlgorithmLibrary.h"

#include <array>
#include <cstring>
#include <vector>

using namespace kv;

namespace {

class ScriptedPedal : public PedalPort {
public:
    explicit ScriptedPedal(fuzz::Cursor& script) : script_(script) {}

    void receive(const uint8_t* data, size_t len, std::vector<uint8_t>& reply) override
    {
        if (vanished_) return;
        const uint8_t how = script_.byte();
        delay_ = (how >> 4) * 0.2;   // 0 to 3 s
        const size_t before = reply.size();
        switch (how & 7) {
        case 0: break;   // silent
        case 1: reply.insert(reply.end(), data, data + len); break;
        case 2: {        // one byte of the echo differs
            reply.insert(reply.end(), data, data + len);
            if (len) reply[before + script_.byte() % len] ^= uint8_t(1 + script_.byte() % 255);
            break;
        }
        case 3: {        // bytes from the script
            const size_t n = script_.u16() % 1600;
            const std::string_view b = script_.take(n);
            reply.insert(reply.end(), b.begin(), b.end());
            break;
        }
        case 4: {        // a short echo
            const size_t n = len ? script_.u16() % len : 0;
            reply.insert(reply.end(), data, data + n);
            break;
        }
        case 5: vanished_ = true; break;
        case 6: {        // the echo and more
            reply.insert(reply.end(), data, data + len);
            const std::string_view b = script_.take(script_.byte());
            reply.insert(reply.end(), b.begin(), b.end());
            break;
        }
        default: {       // a known good answer for the common requests
            reply.insert(reply.end(), data, data + len);
            if (len == 1 && data[0] == 0xC0) reply.assign({0x25, 0x80});
            break;
        }
        }
        if (len == kDspProgramSize) {
            // A program of a store: faithful only when its first 512 answered bytes are the program itself.
            faithful_.push_back(reply.size() - before >= len &&
                                std::memcmp(reply.data() + before, data, len) == 0);
        }
    }
    double reply_delay() const override { return delay_; }
    bool vanished() const override { return vanished_; }

    std::vector<bool> faithful_;

private:
    fuzz::Cursor& script_;
    double delay_ = 0.0;
    bool vanished_ = false;
};

ops::EditedPreset preset_from(fuzz::Cursor& c)
{
    ops::EditedPreset p;
    const std::string_view b = c.take(kPresetRecordSize);
    std::memcpy(&p.parameters, b.data(), std::min(b.size(), kPresetParametersSize));
    p.title = make_title("Fuzz");
    for (size_t i = 0; i < kDspProgramSize; ++i) {
        p.program_x.bytes[i] = uint8_t(i * 3 + 1);
        p.program_y.bytes[i] = uint8_t(i * 5 + 2);
    }
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Operations come from the front of the input, answers from the back half.
    const size_t split = size / 4;
    fuzz::Cursor plan(data, split);
    fuzz::Cursor script(data + split, size - split);

    ManualClock clock;
    ScriptedPedal pedal(script);
    InProcessDriver driver(pedal, clock, plan.byte() & 1 ? 11520.0 : 0.0);
    UsbLink link(driver, clock);
    long pumps = 0;
    link.set_console([](const std::string&) {});
    link.set_event_pump([&] {
        clock.advance(0.001);
        fuzz::fuzz_check(++pumps < 600000, "an exchange waited more than ten minutes");
    });
    ops::SilentReporter report;
    std::array<uint8_t, kPresetImageSize> image{};

    for (int step = 0; step < 6 && !plan.empty(); ++step) {
        pumps = 0;
        const uint8_t op = plan.byte();
        const int slot = plan.byte() % 40 - 4;   // some outside 0..31
        switch (op % 15) {
        case 0: ops::connect(link, report, op & 0x10, image); break;
        case 1: {
            const ops::SlotRead r = ops::read_slot(link, report, slot);
            fuzz::fuzz_check(!r.ok || slot_valid(slot), "no read of a slot outside 0..31");
            break;
        }
        case 2: {
            pedal.faithful_.clear();
            const ops::EditedPreset p = preset_from(plan);
            const ops::StoreResult r = ops::write_slot(link, report, slot, p);
            if (r.ok()) {
                fuzz::fuzz_check(slot_valid(slot), "no store to a slot outside 0..31");
                const auto& f = pedal.faithful_;
                fuzz::fuzz_check(f.size() >= 2 && f[f.size() - 1] && f[f.size() - 2],
                                 "a verified store had both programs echoed faithfully");
            }
            break;
        }
        case 3: {
            const ops::EditedPreset p = preset_from(plan);
            ops::preview_edit(link, report, static_cast<PreviewRequest>(op / 10 % 5), p);
            break;
        }
        case 4: ops::preview_offline(link, preset_from(plan)); break;
        case 5: {
            const ops::EditedPreset p = preset_from(plan);
            const ops::SequenceFetch f =
                ops::fetch_chosen_sequence(link, report, p.parameters, op & 0x20 ? Engine::Y : Engine::X);
            fuzz::fuzz_check(!f.sequence || f.link.ok(), "a sequence only from a complete reply");
            break;
        }
        case 6: {
            ops::ArpTarget t;
            t.engine = op & 0x20 ? Engine::Y : Engine::X;
            t.algorithm = AlgorithmId(kFirstArpAlgorithm + plan.byte() % 7);
            t.selector = uint8_t(plan.byte() % 4 * 2);
            ArpSequence seq{};
            if (op & 0x40) ops::save_sequence(link, report, t, seq);
            else ops::preview_sequence(link, report, t, seq);
            break;
        }
        case 7: {
            if (link.get_globals()) (void)link.buffer()[kGlobalsSize - 1];
            uint8_t record[kGlobalsSize] = {};
            link.set_globals_record(record);
            break;
        }
        case 8: {
            uint8_t block[kLibraryBlockSize] = {};
            link.write_library_block(plan.byte() % 64, block);
            link.write_firmware_page(plan.u16(), block);
            link.set_version(plan.byte(), plan.byte());
            link.send_one_message();
            break;
        }
        case 10: {
            // A backup over an older file: it stays whole unless the new one is.
            const std::string path = fuzz::scratch_dir() + "/Tessivar_Backup_01-02-2026.bkp";
            const std::vector<uint8_t> older(kPresetImageSize, 0x5A);
            fuzz::scratch_file("Tessivar_Backup_01-02-2026.bkp", older.data(), older.size());
            const ops::BackupResult r = ops::backup(link, report, path);
            const BackupFile f = read_backup_file(path);
            fuzz::fuzz_check(f.ok(), "a backup file is always whole");
            if (!r.ok()) fuzz::fuzz_check(std::equal(older.begin(), older.end(), f.image.begin()),
                                          "a failed backup leaves the older file");
            break;
        }
        case 11: {
            static const AlgorithmLibrary library(AlgorithmLibrary::file_path(KV_SOURCE_DIR "/bin"));
            std::array<uint8_t, kPresetImageSize> backup{};
            const std::string_view b = plan.take(kPresetImageSize);
            std::memcpy(backup.data(), b.data(), b.size());
            ops::restore_image(link, report, backup, ops::library_programs(library));
            break;
        }
        case 12: {
            GlobalsRecord r = GlobalsRecord::startup();
            r.bytes[0] = plan.byte();
            if (ops::send_globals(link, report, r)) {
                const auto back = ops::read_globals(link);
                (void)back;
            }
            break;
        }
        case 13: {
            struct Proceed : ops::SilentReporter {
                int choice(std::string_view, const char*, const char*, const char*) override { return 1; }
            } yes;
            std::string serial;
            ops::update_library(link, yes, KV_SOURCE_DIR "/bin", serial);
            break;
        }
        case 14: {
            static const std::string package = [] {
                std::string bytes = "Z\n5\n0\n";
                for (int i = 0; i < 2 * 3 * 256; ++i) bytes.push_back(char(i * 7));
                return fuzz::scratch_file("bench.fdt", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            }();
            ops::FirmwareUpdate request;
            request.package_path = package;
            request.before.serial_number = "TSV0417A";
            request.before.firmware_version = plan.byte();
            request.before.pedal_mode = plan.byte();
            request.library_path = KV_SOURCE_DIR "/bin/error_log.fvc";
            std::array<uint8_t, kGlobalsSize> globals{};
            ops::update_firmware(link, report, request, image, globals);
            break;
        }
        default: {
            ops::read_everything(link, report, image, 0.5, op & 0x10);
            const std::array<uint8_t, kPresetImageSize> reference{};
            ops::read_all_matches(link, reference);
            break;
        }
        }
        fuzz::fuzz_check(!link.busy() && link.ft_handle() == 0, "every exchange closes the bridge");
    }
    return 0;
}
