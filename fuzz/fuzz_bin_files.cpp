// The data files in bin/ as the editor and the simulated pedal read them:
// the algorithm library "error_log.fvc", the factory arp table
// "arpdata.bin", the factory presets "factoryset.fap" and the display data
// "dispdata.bin". The first input byte picks the file; the rest is its
// content, the other files are missing.

#include "arp/FactoryArpTable.h"
#include "fuzz/FuzzSupport.h"
#include "preset/AlgorithmLibrary.h"
#include "sim/FactoryData.h"

#include <cstdio>
#include <string>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    static const char* const names[] = {kAlgorithmLibraryFile, kArpTableFile, kFactoryPresetsFile, kDisplayDataFile};
    const std::string folder = fuzz::scratch_dir() + "/bin";
    static const bool made = [&] { return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST; }();
    fuzz::fuzz_check(made, "scratch bin folder");
    for (const char* n : names) std::remove((folder + "/" + n).c_str());
    const char* name = names[data[0] % 4];
    const std::string path = fuzz::scratch_file(std::string("bin/") + name, data + 1, size - 1);

    AlgorithmLibrary library;
    const bool usable = library.load(AlgorithmLibrary::file_path(folder));
    fuzz::fuzz_check(library.images_read() >= 0 && library.images_read() <= kAlgorithmCount, "images read in range");
    fuzz::fuzz_check(usable == (library.images_read() == kAlgorithmCount), "usable only when all images read");
    for (int id = -2; id < kAlgorithmCount + 2; ++id) (void)library.image(id).bytes[kDspProgramSize - 1];

    FactoryArpTable table;
    if (table.load(folder)) {
        fuzz::fuzz_check(table.bytes_read() <= kArpFactoryTableSize, "arp bytes read in range");
        for (int a = -1; a <= kArpAlgorithmCount; ++a)
            for (int s = -1; s <= kArpUserSequences; ++s) (void)table.sequence(a, s);
    }

    FactorySources used;
    const PedalMemory memory = factory_memory(folder, &used);
    fuzz::fuzz_check(memory.firmware.size() == kFirmwareImageSize, "firmware image size");
    return 0;
}
