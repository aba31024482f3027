// The simulator's state file: arbitrary bytes, and damaged images that still
// pass the checksum (the fuzzer's bytes laid over a valid image at a chosen
// place, the checksum made right), then the loaded pedal is asked for its
// presets and state as the editor would; whatever it loads saves and loads
// back to itself.

#include "fuzz/FuzzSupport.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"

#include <cstring>
#include <vector>

using namespace kv;

namespace {

uint32_t crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

const std::vector<uint8_t>& valid_image()
{
    static const std::vector<uint8_t> image = [] {
        ManualClock clock;
        PedalModel model(clock);
        return model.serialize();
    }();
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ManualClock clock;
    PedalModel model(clock);
    const PedalMemory before = model.memory();
    if (!model.deserialize(data, size))
        fuzz::fuzz_check(model.memory() == before, "a refused image changes nothing");

    if (size >= 4) {
        // Header bytes (the first 16) included, so version and length checks are reached too.
        std::vector<uint8_t> image = valid_image();
        const size_t at = (size_t(data[0]) | size_t(data[1]) << 8 | size_t(data[2]) << 16) % image.size();
        const size_t n = std::min(size - 3, image.size() - at);
        std::memcpy(image.data() + at, data + 3, n);
        const size_t payload = image.size() - 16 - 4;
        const uint32_t crc = crc32(image.data() + 16, payload);
        std::memcpy(image.data() + 16 + payload, &crc, 4);   // little-endian host

        PedalModel loaded(clock);
        if (loaded.deserialize(image.data(), image.size())) {
            const FirmwareVersion& v = loaded.firmware_version();
            fuzz::fuzz_check(v.major <= 15 && v.minor <= 15 && v.patch <= 127, "loaded version in range");
            std::vector<uint8_t> reply;
            const uint8_t requests[] = {0xC0, 0xC1, 0xC4, 0x00, 0x1F, 0xC7, 3, 2, 1};
            loaded.receive(requests, sizeof requests, reply);
            // The file holds the arp library twice (its own section and the
            // last library blocks); on load the section wins, so an image
            // whose copies disagree saves back with them made equal. From
            // then on a save loads back to itself.
            const std::vector<uint8_t> saved = loaded.serialize();
            PedalModel again(clock);
            fuzz::fuzz_check(again.deserialize(saved.data(), saved.size()), "a saved image loads");
            fuzz::fuzz_check(again.serialize() == saved, "a saved image loads back to itself");
            fuzz::fuzz_check(again.memory() == loaded.memory(), "and to the same memory");
        }
        // The same through the file reader.
        const std::string path = fuzz::scratch_file("state", image.data(), image.size());
        PedalModel from_file(clock);
        from_file.load_state_checked(path);
    }
    return 0;
}
