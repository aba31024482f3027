#include "arp/FactoryArpTable.h"

#include "platform/SafeFile.h"

#include <algorithm>
#include <cstring>

namespace kv {

std::string arp_factory_path(const std::string& folder) { return folder + "/" + kArpFactoryFileName; }

bool FactoryArpTable::ensure_loaded(const std::string& folder)
{
    if (loaded_) return true;
    return load(folder);
}

bool FactoryArpTable::load(const std::string& folder)
{
    // A FIFO, a device or an oversized file counts as one that cannot be opened.
    const FileRead file = read_file_limited(arp_factory_path(folder), kDataFileLimit);
    if (!file) return false;
    std::array<std::uint8_t, kArpFactoryTableSize> fresh{};
    const std::size_t got = std::min(file.bytes.size(), fresh.size());
    std::memcpy(fresh.data(), file.bytes.data(), got);
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
