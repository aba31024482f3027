#include "sim/FactoryData.h"

#include "arp/ArpSequence.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "preset/ProgramPatcher.h"

#include <cstdio>
#include <cstring>

namespace kv {

std::vector<DspProgram> builtin_algorithm_images()
{
    std::vector<DspProgram> images(kAlgorithmCount);
    for (int id = 0; id < kAlgorithmCount; ++id) {
        for (size_t i = 0; i < kDspProgramWords; ++i) {
            // Recognisable filler: algorithm id in the top byte, word index below.
            const uint32_t w = (uint32_t(id) << 24) | (uint32_t(i) << 16) | 0x5A00u | uint32_t((id * 31 + i) & 0xFF);
            images[size_t(id)].set_word(i, w);
        }
    }
    return images;
}

std::vector<uint8_t> builtin_arp_table()
{
    std::vector<uint8_t> table(kArpTableSize, 0);
    for (int a = 0; a < kArpAlgorithmCount; ++a) {
        for (int s = 0; s < kArpUserSequences; ++s) {
            ArpSequence seq;
            for (int k = 0; k < kArpSteps; ++k)
                seq.set_level(k, ((k * (s + 1) + a) % 8 + 1) * 455, a == 0);   // 455..3640
            std::memcpy(table.data() + (size_t(a) * kArpUserSequences + size_t(s)) * kArpSequenceSize,
                        seq.bytes.data(), kArpSequenceSize);
        }
    }
    return table;
}

namespace {

// The first library blocks hold the algorithm images, one program each.
static_assert(kLibraryBlockSize == kDspProgramSize);

void fill_presets_builtin(PedalMemory& m)
{
    for (int s = 0; s < kSlotCount; ++s) {
        char name[24];
        std::snprintf(name, sizeof name, "Preset %d%c", slot_bank(s), slot_patch(s));
        m.slots[size_t(s)].parameters = default_parameters();
        m.slots[size_t(s)].title = make_title(name);
    }
}

// The factory table is the arp library, in the last two library blocks.
void fill_arp(PedalMemory& m, const uint8_t* table)
{
    std::memcpy(m.library[kFirstArpBlock].data(), table, kLibraryBlockSize);
    std::memset(m.library[kFirstArpBlock + 1].data(), 0, kLibraryBlockSize);
    std::memcpy(m.library[kFirstArpBlock + 1].data(), table + kLibraryBlockSize, kArpTableSize - kLibraryBlockSize);
}

PedalMemory build(const std::vector<uint8_t>* presets, const std::vector<uint8_t>* library,
                  const std::vector<uint8_t>* arp, const std::vector<uint8_t>* display)
{
    PedalMemory m;
    m.globals = factory_globals();

    std::vector<DspProgram> images;
    if (library) {
        images.resize(kAlgorithmCount);
        for (int id = 0; id < kAlgorithmCount; ++id)
            std::memcpy(images[size_t(id)].bytes,
                        library->data() + kAlgorithmLibraryHeader + size_t(id) * kDspProgramSize, kDspProgramSize);
    } else {
        images = builtin_algorithm_images();
    }
    for (int id = 0; id < kAlgorithmCount; ++id)
        std::memcpy(m.library[size_t(id)].data(), images[size_t(id)].bytes, kLibraryBlockSize);

    if (display) {
        const size_t blocks = std::min<size_t>((display->size() + kLibraryBlockSize - 1) / kLibraryBlockSize,
                                               size_t(kDisplayBlocksMax));
        for (size_t b = 0; b < blocks; ++b) {
            const size_t from = b * kLibraryBlockSize;
            const size_t n = std::min(kLibraryBlockSize, display->size() - from);
            std::memcpy(m.library[kFirstDisplayBlock + b].data(), display->data() + from, n);
        }
    }

    if (arp) fill_arp(m, arp->data());
    else fill_arp(m, builtin_arp_table().data());

    if (presets) {
        for (int s = 0; s < kSlotCount; ++s) {
            m.slots[size_t(s)].parameters = image_parameters(presets->data(), s);
            m.slots[size_t(s)].title = image_title(presets->data(), s);
        }
    } else {
        fill_presets_builtin(m);
    }

    // Each slot's programs are its algorithms' library images, patched for
    // the slot's secondary parameters (a code without a row leaves the image).
    const ProgramPatcher patcher;
    for (auto& slot : m.slots) {
        const PresetParameters& p = slot.parameters;
        for (Engine e : {Engine::X, Engine::Y}) {
            const AlgorithmId id = p.algorithm(e);
            if (id >= kAlgorithmCount) continue;
            DspProgram& program = e == Engine::X ? slot.program_x : slot.program_y;
            program = images[id];
            for (int k = 0; k < 3; ++k) patcher.patch(k, p.sp(e, k), program, id);
        }
    }
    return m;
}

bool has_data_file(const std::string& folder)
{
    for (const char* name : {kFactoryPresetsFile, kAlgorithmLibraryFile, kArpTableFile, kDisplayDataFile})
        if (file_exists(folder + "/" + name)) return true;
    return false;
}

}  // namespace

PedalMemory builtin_factory_memory()
{
    return build(nullptr, nullptr, nullptr, nullptr);
}

PedalMemory factory_memory(const std::string& folder, FactorySources* used)
{
    FactorySources got;
    std::vector<uint8_t> presets, library, arp, display;
    if (!folder.empty()) {
        const std::string base = folder + "/";
        // A file that is there but cannot be used is said once; a missing
        // one quietly gives way to its built-in stand-in.
        auto load = [&](const char* name, std::vector<uint8_t>& out, size_t limit = kDataFileLimit) {
            FileRead r = read_file_limited(base + name, limit);
            if (!r) {
                if (r.error != FileError::NotFound) got.problems.push_back(read_failure_message(base + name, r.error));
                return false;
            }
            out = std::move(r.bytes);
            return true;
        };
        got.presets = load(kFactoryPresetsFile, presets) && presets.size() == kPresetImageSize;
        got.library = load(kAlgorithmLibraryFile, library) &&
                      library.size() >= kAlgorithmLibraryHeader + kAlgorithmLibraryImages;
        got.arp = load(kArpTableFile, arp) && arp.size() >= kArpTableSize;
        // No more than the display blocks hold is read: a longer file is
        // refused like any other that is too large.
        got.display = load(kDisplayDataFile, display, kDisplayBytesMax);
    }
    if (used) *used = got;
    return build(got.presets ? &presets : nullptr, got.library ? &library : nullptr,
                 got.arp ? &arp : nullptr, got.display ? &display : nullptr);
}

std::string find_data_folder()
{
    for (const auto& c : resource_candidates("bin"))
        if (is_directory(c) && has_data_file(c)) return c;
    return std::string();
}

}  // namespace kv
