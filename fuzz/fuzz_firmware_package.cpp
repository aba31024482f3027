// A firmware package (".fdt"): any bytes, read as the update panel reads it,
// then, when it is taken, sent to the simulated pedal waiting in update mode
// (in process, on the test clock) as "Update Now" does. A refused package
// sends nothing; a taken one ends with the pedal holding the pages of the
// image for its serial number and the package's version.

#include "fuzz/FuzzSupport.h"
#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Firmware.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"

#include <cstring>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ops::PackageRead parsed = ops::parse_firmware_package(std::span<const uint8_t>(data, size));
    const std::string path = fuzz::scratch_file("update.fdt", data, size);
    const ops::PackageRead read = ops::read_firmware_package(path);
    fuzz::fuzz_check(read.ok() == parsed.ok() || read.fault == ops::PackageFault::Unreadable,
                     "the file reads as its bytes parse");
    if (!parsed.ok()) return 0;
    const ops::FirmwarePackage& p = *parsed.package;
    fuzz::fuzz_check(!p.data.empty() && p.pages_sent() >= 1 && p.pages_sent() <= int(kFirmwarePages),
                     "1 to 256 pages");
    for (const auto& note : p.notes) fuzz::fuzz_check(note.size() <= ops::FirmwarePackage::kMaxLineLength, "note length");
    (void)p.version_text().size();
    // Serial numbers on both sides of the image B boundary, short and odd ones too.
    for (const char* serial : {"TSV0417A", "TSV0496Z", "TSV0497A", "X", "", "TSV99999999999"}) {
        (void)p.image_for(serial).size();
        fuzz::fuzz_check(p.page(serial, p.pages_sent() - 1).size() == kFirmwarePageSize, "a page is 256 bytes");
    }
    if (size > 70000 || !read.ok()) return 0;

    ManualClock clock;
    PedalModel pedal(clock);
    pedal.set_update_mode(true);
    InProcessDriver driver(pedal, clock, 0.0, "TSV0417A");
    UsbLink link(driver, clock);
    link.set_console([](const std::string&) {});
    link.set_event_pump([&] { clock.advance(0.001); });
    ops::SilentReporter report;
    ops::FirmwareUpdate request;
    request.package_path = path;
    request.before.serial_number = "TSV0417A";
    request.before.firmware_version = 0x25;
    request.before.pedal_mode = 0x80;
    request.library_path = std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc";
    std::array<uint8_t, kPresetImageSize> image{};
    std::array<uint8_t, kGlobalsSize> globals{};
    const ops::FirmwareResult r = ops::update_firmware(link, report, request, image, globals);
    if (r.outcome == ops::FirmwareOutcome::Updated) {
        for (int i = 0; i < p.pages_sent(); ++i) {
            const std::vector<uint8_t> page = p.page("TSV0417A", i);
            fuzz::fuzz_check(std::memcmp(pedal.memory().firmware.data() + size_t(i) * kFirmwarePageSize, page.data(),
                                         kFirmwarePageSize) == 0,
                             "every page arrived as sent");
        }
    }
    return 0;
}
