// A global settings file (the 34-byte record `korvane globals save` writes)
// loaded with `korvane globals load FILE --yes` against the simulated pedal
// in process: any bytes. A file that is not a record the panels could have
// made is refused before anything is sent (status 2, the pedal's settings as
// they were); one that is taken ends with the pedal holding exactly its
// bytes (status 0). Also every view the panels and `globals show` take of
// the record.

#include "cli/Terminal.h"
#include "fuzz/FuzzSupport.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "settings/GlobalsRecord.h"
#include "sim/PedalModel.h"

#include <cstring>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == kGlobalsRecordSize) {
        GlobalsRecord r;
        std::memcpy(r.bytes.data(), data, size);
        (void)describe(r).size();
        GlobalsRecord again = GlobalsRecord::from_wire(r.to_wire().data());
        fuzz::fuzz_check(again == r, "wire order round trip");
        again.apply(r.global_settings());
        again.apply(r.midi_settings());
        if (record_problems(r).empty()) fuzz::fuzz_check(again == r, "a sound record survives both panels");
        (void)migrated_aux_codes(r);
        for (int c = 0; c < 3; ++c) (void)aux_hint(static_cast<AuxContact>(c), r.bytes[size_t(c)]);
    }

    const std::string path = fuzz::scratch_file("globals.kvg", data, size);
    ManualClock clock;
    PedalModel pedal(clock);
    InProcessDriver driver(clock);
    driver.attach(kPedalDescription, "TV000001", &pedal);
    bool sent = false;
    pedal.set_request_observer([&](const PedalRequest& r) { sent |= r.command == 0xC2; });
    const auto before = pedal.memory().globals;
    cli::Terminal t;
    t.driver = &driver;
    t.clock = &clock;
    t.out = [](const std::string&) {};
    t.err = [](const std::string&) {};
    const int status = cli::run({"globals", "load", path, "--yes"}, t);
    if (status == 0) {
        fuzz::fuzz_check(size == kGlobalsRecordSize, "only 34 bytes are taken");
        GlobalsRecord r;
        std::memcpy(r.bytes.data(), data, kGlobalsRecordSize);
        fuzz::fuzz_check(std::memcmp(pedal.memory().globals.data(), data, kGlobalsRecordSize) == 0,
                         "a loaded file is what the pedal holds");
    } else {
        fuzz::fuzz_check(status == 2 && !sent && pedal.memory().globals == before,
                         "a refused file sends nothing");
    }
    return 0;
}
