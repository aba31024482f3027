#include "ops/AutoBackup.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace kv::ops {

namespace {

constexpr const char* kPresetsExtension = ".bkp";
constexpr const char* kGlobalsExtension = ".globals";
// "YYYY-MM-DD_HH-MM-SS"
constexpr size_t kStampLength = 19;
constexpr int kSequenceDigits = 6;

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string with_slash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD_HH-MM-SS" exactly.
bool is_stamp(std::string_view s)
{
    static constexpr std::string_view shape = "dddd-dd-dd_dd-dd-dd";
    if (s.size() != shape.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (shape[i] == 'd' ? !is_digit(s[i]) : s[i] != shape[i]) return false;
    return true;
}

bool all_digits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), is_digit);
}

// A safety backup file name as this program writes it, taken apart. Names
// that do not have exactly this shape (a user's "..._2026-12-07 keep.bkp")
// are not ours: they are never listed, ordered or removed.
struct BackupName {
    std::string name;      // without folder
    uint64_t sequence = 0; // 0 for the names of earlier versions, which had none
    std::string stamp;     // the earlier versions' order: stamp, then "_N"
    uint64_t serial = 1;
};

std::optional<BackupName> parse_backup_name(const std::string& name, const std::string& extension)
{
    if (name.rfind(kAutoBackupPrefix, 0) != 0 || !ends_with(name, extension)) return std::nullopt;
    const size_t from = std::strlen(kAutoBackupPrefix);
    const std::string_view body(name.data() + from, name.size() - from - extension.size());
    BackupName b;
    b.name = name;
    const size_t cut = body.find('_');
    if (cut != std::string_view::npos && all_digits(body.substr(0, cut)) && cut >= size_t(kSequenceDigits) &&
        cut <= 18 && is_stamp(body.substr(cut + 1))) {
        // "<sequence>_<stamp>": what this version writes.
        b.sequence = std::stoull(std::string(body.substr(0, cut)));
        if (b.sequence == 0) return std::nullopt;
        b.stamp = std::string(body.substr(cut + 1));
        return b;
    }
    // "<stamp>" or "<stamp>_<n>": written by earlier versions.
    if (body.size() < kStampLength || !is_stamp(body.substr(0, kStampLength))) return std::nullopt;
    b.stamp = std::string(body.substr(0, kStampLength));
    const std::string_view rest = body.substr(kStampLength);
    if (!rest.empty()) {
        if (rest.size() < 2 || rest.size() > 10 || rest[0] != '_' || !all_digits(rest.substr(1))) return std::nullopt;
        b.serial = std::stoull(std::string(rest.substr(1)));
    }
    return b;
}

// Oldest first. The sequence number only ever grows, so neither a clock set
// back nor a change of time zone can make a new backup look old; the names of
// earlier versions (sequence 0) come before all numbered ones.
bool older(const BackupName& a, const BackupName& b)
{
    if (a.sequence != b.sequence) return a.sequence < b.sequence;
    if (a.stamp != b.stamp) return a.stamp < b.stamp;
    return a.serial < b.serial;
}

std::vector<BackupName> backup_names(const std::string& folder, const std::string& extension = kPresetsExtension)
{
    std::vector<BackupName> names;
    for (const std::string& name : folder_names(folder))
        if (auto b = parse_backup_name(name, extension)) names.push_back(std::move(*b));
    std::sort(names.begin(), names.end(), older);
    return names;
}

// The next sequence number: one above every backup in the folder, its
// .globals files included (a .bkp may have been deleted by hand).
uint64_t next_sequence(const std::string& folder)
{
    uint64_t top = 0;
    for (const char* ext : {kPresetsExtension, kGlobalsExtension})
        for (const BackupName& b : backup_names(folder, ext)) top = std::max(top, b.sequence);
    return top + 1;
}

bool make_folder(const std::string& folder)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (is_directory(path)) return true;
    return make_directory(path);
}

} // namespace

std::string auto_backup_folder(const std::string& presets_folder)
{
    return with_slash(presets_folder) + kAutoBackupFolder + "/";
}

std::string auto_backup_name(uint64_t sequence, const LocalTime& t)
{
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%0*llu_%04d-%02d-%02d_%02d-%02d-%02d", kSequenceDigits,
                  static_cast<unsigned long long>(sequence), t.year, t.month, t.day, t.hour, t.minute, t.second);
    return std::string(kAutoBackupPrefix) + stamp;
}

bool is_auto_backup_name(const std::string& name) { return parse_backup_name(name, kPresetsExtension).has_value(); }

std::vector<std::string> list_auto_backups(const std::string& folder)
{
    std::vector<std::string> paths;
    for (const BackupName& b : backup_names(folder)) paths.push_back(with_slash(folder) + b.name);
    return paths;
}

int prune_auto_backups(const std::string& folder, int keep, const std::vector<std::string>& never_remove)
{
    std::vector<FileIdentity> kept_ids;
    for (const std::string& p : never_remove)
        if (auto id = file_identity(p)) kept_ids.push_back(*id);
    const std::vector<BackupName> names = backup_names(folder);
    const size_t surplus = names.size() > size_t(std::max(keep, 0)) ? names.size() - size_t(std::max(keep, 0)) : 0;
    int removed = 0;
    for (size_t i = 0; i < names.size() && size_t(removed) < surplus; ++i) {
        const std::string bkp = with_slash(folder) + names[i].name;
        // A backup being restored from, or the one just written, stays; the
        // next older one goes in its place.
        const auto id = file_identity(bkp);
        if (id && std::find(kept_ids.begin(), kept_ids.end(), *id) != kept_ids.end()) continue;
        const std::string globals = bkp.substr(0, bkp.size() - std::strlen(kPresetsExtension)) + kGlobalsExtension;
        if (remove_file(bkp)) {
            remove_file(globals);
            ++removed;
        }
    }
    return removed;
}

AutoBackupResult auto_backup(UsbLink& link, Reporter& report, const std::string& folder,
                             const std::vector<std::string>& never_remove)
{
    AutoBackupResult r;
    const LocalTime when = report.now();
    auto failed = [&](std::string why) {
        r.ok = false;
        r.error = std::move(why);
        report.status(when, "  Safety backup failed.", "  > " + r.error);
        return r;
    };

    if (!link.read_all(r.image)) return failed("the pedal's presets could not be read.");
    const std::optional<GlobalsRecord> globals = link.get_globals();
    if (!globals) return failed("the pedal's global settings could not be read.");
    r.globals = globals->bytes;

    if (!make_folder(folder)) return failed("cannot create the folder " + folder + ": " + std::strerror(errno));

    // Never replace an earlier backup (another program may have taken the
    // number meanwhile).
    uint64_t sequence = next_sequence(folder);
    std::string name = auto_backup_name(sequence, when);
    while (file_exists(with_slash(folder) + name + kPresetsExtension) ||
           file_exists(with_slash(folder) + name + kGlobalsExtension))
        name = auto_backup_name(++sequence, when);
    const std::string base = with_slash(folder) + name;

    // The globals first: a backup counts (and is listed) once its .bkp is there.
    WriteResult written = write_file_atomically(base + kGlobalsExtension, r.globals);
    if (written) written = write_file_atomically(base + kPresetsExtension, r.image);
    if (!written) {
        remove_file(base + kGlobalsExtension);
        return failed(written.message());
    }
    r.ok = true;
    r.path = base + kPresetsExtension;
    r.globals_path = base + kGlobalsExtension;
    std::vector<std::string> keep = never_remove;
    keep.push_back(r.path);
    r.removed = prune_auto_backups(folder, kAutoBackupsKept, keep);
    report.status(when, "  Safety backup of the presets saved.",
                  std::string("  > ") + kAutoBackupFolder + "/" + name + kPresetsExtension);
    return r;
}

int remove_leftovers(const std::string& presets_folder, std::time_t now)
{
    if (presets_folder.empty()) return 0;
    auto old_enough = [now](const std::string& path) {
        const auto modified = regular_file_modified(path);
        return modified && std::difftime(now, *modified) > kLeftoverAge;
    };
    auto ours = [](const std::string& target) {
        return ends_with(target, kPresetsExtension) || ends_with(target, kGlobalsExtension) ||
               ends_with(target, ".lop") || target == "presets.lst";
    };
    int removed = 0;
    const std::string backups = auto_backup_folder(presets_folder);
    for (const std::string& folder : {with_slash(presets_folder), backups}) {
        for (const std::string& name : folder_names(folder)) {
            const std::string path = folder + name;
            const auto target = temporary_file_target(name);
            bool leftover = target && ours(*target);
            // A safety backup's .globals without its .bkp.
            if (!leftover && folder == backups && parse_backup_name(name, kGlobalsExtension)) {
                const std::string bkp = path.substr(0, path.size() - std::strlen(kGlobalsExtension)) + kPresetsExtension;
                leftover = !file_exists(bkp);
            }
            if (leftover && old_enough(path) && remove_file(path)) ++removed;
        }
    }
    return removed;
}

std::string backup_failed_question(const std::string& what, const std::string& reason)
{
    return "The presets in your pedal could not be backed up before " + what + ":\n" + reason +
           "\n\nGo on without a backup?";
}

GuardResult guard_with_backup(UsbLink& link, Reporter& report, const std::string& folder, const std::string& what,
                              OnBackupFailure on_failure, const std::vector<std::string>& never_remove)
{
    GuardResult g;
    if (folder.empty()) {
        g.proceed = true;
        return g;
    }
    g.backup = auto_backup(link, report, folder, never_remove);
    if (g.backup.ok) {
        g.proceed = true;
        return g;
    }
    if (on_failure == OnBackupFailure::Refuse) return g;
    g.proceed = report.choice(backup_failed_question(what, g.backup.error), "Cancel", "Continue", nullptr) == 1;
    return g;
}

} // namespace kv::ops
