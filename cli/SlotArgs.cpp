#include "cli/SlotArgs.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kv::cli {

std::optional<int> slot_argument(const std::string& text)
{
    if (text.empty() || text.size() > 2) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int n = std::atoi(text.c_str());
    if (n < 1 || n > kSlotCount) return std::nullopt;
    return n - 1;
}

std::string printable_title(const PresetTitle& title)
{
    std::string text = title_text(title);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    return text;
}

std::string slot_description(const std::array<uint8_t, kPresetImageSize>& image, int slot)
{
    return "preset " + std::to_string(slot + 1) + " (\"" + printable_title(image_title(image.data(), slot)) + "\")";
}

std::string record_hex(const PresetRecord& record)
{
    std::string hex;
    char byte[4];
    for (size_t i = 0; i < kPresetRecordSize; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", record.data()[i]);
        hex += byte;
    }
    return hex;
}

} // namespace kv::cli
