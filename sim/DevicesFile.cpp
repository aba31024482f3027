#include "sim/DevicesFile.h"

#include "link/DeviceList.h"
#include "link/PedalWire.h"
#include "platform/LockedFile.h"
#include "platform/SafeFile.h"

#include <cerrno>

namespace kv {

namespace {

constexpr double kLockPatience = 5.0;   // seconds to wait for another holder of the lock

// The content without stale lines and without the first line equal to
// `remove` (when given); *removed says whether that line was there.
std::string tidied(const std::string& content, const std::string* remove, bool* removed, bool* changed)
{
    std::string kept;
    *removed = false;
    *changed = false;
    const auto lines = split_lines(content);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i];
        if (remove && !*removed && text == *remove) {
            *removed = true;
            *changed = true;
            continue;
        }
        if (const auto d = parse_device_line(text); d && !process_alive(d->pid)) {
            *changed = true;
            continue;
        }
        kept.append(text);
        // Another program's last line keeps its missing newline.
        if (i + 1 < lines.size() || content.back() == '\n') kept.push_back('\n');
    }
    return kept;
}

}  // namespace

std::string device_line(const std::string& tty_path, const std::string& serial_number, long pid)
{
    return tty_path + "\t" + kPedalDescription + "\t" + serial_number + "\t" + std::to_string(pid);
}

bool add_device_line(const std::string& file, const std::string& line, const GiveUp& give_up)
{
    LockedFile f(file, LockedFile::Open::CreateIfMissing, kListFileLimit, kLockPatience, give_up);
    if (!f.ok()) {
        errno = f.error();
        return false;
    }
    std::string content;
    if (!f.read_all(content)) return false;
    bool removed = false, changed = false;
    std::string text = tidied(content, nullptr, &removed, &changed);
    if (!changed) {
        // Only append: a reader never sees the file half-written.
        const std::string added = (!content.empty() && content.back() != '\n' ? "\n" : "") + line + "\n";
        return f.append(added);
    }
    if (!text.empty() && text.back() != '\n') text.push_back('\n');
    text += line + "\n";
    return f.replace_content(text);
}

bool remove_device_line(const std::string& file, const std::string& line, const GiveUp& give_up)
{
    LockedFile f(file, LockedFile::Open::Existing, kListFileLimit, kLockPatience, give_up);
    if (!f.ok()) {
        errno = f.error();
        return false;
    }
    std::string content;
    if (!f.read_all(content)) return false;
    bool removed = false, changed = false;
    const std::string text = tidied(content, &line, &removed, &changed);
    if (changed && !f.replace_content(text)) return false;
    return removed;
}

}  // namespace kv
