#include "arp/FactoryArpTable.h"

#include <cstdio>

namespace kv {

std::string arp_factory_path(const std::string& folder) { return folder + "/" + kArpFactoryFileName; }

bool FactoryArpTable::ensure_loaded(const std::string& folder)
{
    if (loaded_) return true;
    return load(folder);
}

bool FactoryArpTable::load(const std::string& folder)
{
    std::FILE* f = std::fopen(arp_factory_path(folder).c_str(), "rb");
    if (!f) return false;
    std::array<std::uint8_t, kArpFactoryTableSize> fresh{};
    std::size_t got = std::fread(fresh.data(), 1, fresh.size(), f);
    bool failed = std::ferror(f) != 0;  // e.g. the name is a folder
    std::fclose(f);
    if (failed) return false;
    table_ = fresh;
    bytes_read_ = got;
    loaded_ = true;
    return true;
}

ArpSequence FactoryArpTable::sequence(int algorithm_index, int number) const
{
    if (algorithm_index < 0 || algorithm_index >= kArpAlgorithmCount || number < 0 || number >= kArpUserSequences)
        return ArpSequence{};
    std::size_t offset = kArpFactoryBlockSize * static_cast<std::size_t>(algorithm_index) +
                         kArpSequenceSize * static_cast<std::size_t>(number);
    return ArpSequence::from_bytes(table_.data() + offset, kArpSequenceSize);
}

} // namespace kv
