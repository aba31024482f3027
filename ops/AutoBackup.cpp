#include "ops/AutoBackup.h"

#include "platform/AtomicFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kv::ops {

namespace {

constexpr const char* kPresetsExtension = ".bkp";
constexpr const char* kGlobalsExtension = ".globals";
// Name of a backup without its extension: prefix, then "YYYY-MM-DD_HH-MM-SS"
// and, for a second backup within the same second, "_2", "_3", ...
constexpr size_t kStampLength = 19;

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string with_slash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool is_backup_file(const std::string& name)
{
    return name.rfind(kAutoBackupPrefix, 0) == 0 && ends_with(name, kPresetsExtension) &&
           name.size() >= std::strlen(kAutoBackupPrefix) + kStampLength + std::strlen(kPresetsExtension);
}

// "..._2026-12-07_10-48-05_2" sorts after "..._2026-12-07_10-48-05" but a
// plain string order would put "_10" before "_2": order by stamp, then by
// the number after it.
bool older(const std::string& a, const std::string& b)
{
    const size_t from = std::strlen(kAutoBackupPrefix);
    const std::string sa = a.substr(from, kStampLength), sb = b.substr(from, kStampLength);
    if (sa != sb) return sa < sb;
    auto serial = [&](const std::string& name) {
        const size_t start = from + kStampLength;
        const size_t end = name.size() - std::strlen(kPresetsExtension);
        if (end <= start + 1 || name[start] != '_') return 1;
        return std::atoi(name.substr(start + 1, end - start - 1).c_str());
    };
    return serial(a) < serial(b);
}

std::vector<std::string> backup_names(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (is_backup_file(name)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), older);
    return names;
}

bool make_folder(const std::string& folder)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (is_directory(path)) return true;
    return ::mkdir(path.c_str(), 0755) == 0 || is_directory(path);
}

} // namespace

std::string auto_backup_folder(const std::string& presets_folder)
{
    return with_slash(presets_folder) + kAutoBackupFolder + "/";
}

std::string auto_backup_name(const LocalTime& t)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return std::string(kAutoBackupPrefix) + stamp;
}

std::vector<std::string> list_auto_backups(const std::string& folder)
{
    std::vector<std::string> paths;
    for (const std::string& name : backup_names(folder)) paths.push_back(with_slash(folder) + name);
    return paths;
}

int prune_auto_backups(const std::string& folder, int keep)
{
    const std::vector<std::string> names = backup_names(folder);
    int removed = 0;
    for (size_t i = 0; i + size_t(std::max(keep, 0)) < names.size(); ++i) {
        const std::string bkp = with_slash(folder) + names[i];
        const std::string globals = bkp.substr(0, bkp.size() - std::strlen(kPresetsExtension)) + kGlobalsExtension;
        remove_file(globals);
        if (remove_file(bkp)) ++removed;
    }
    return removed;
}

AutoBackupResult auto_backup(UsbLink& link, Reporter& report, const std::string& folder)
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

    // Never replace an earlier backup, even one made within the same second.
    std::string name = auto_backup_name(when);
    for (int n = 2; file_exists(with_slash(folder) + name + kPresetsExtension); ++n)
        name = auto_backup_name(when) + "_" + std::to_string(n);
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
    r.removed = prune_auto_backups(folder, kAutoBackupsKept);
    report.status(when, "  Safety backup of the presets saved.",
                  std::string("  > ") + kAutoBackupFolder + "/" + name + kPresetsExtension);
    return r;
}

std::string backup_failed_question(const std::string& what, const std::string& reason)
{
    return "The presets in your pedal could not be backed up before " + what + ":\n" + reason +
           "\n\nGo on without a backup?";
}

GuardResult guard_with_backup(UsbLink& link, Reporter& report, const std::string& folder, const std::string& what,
                              OnBackupFailure on_failure)
{
    GuardResult g;
    if (folder.empty()) {
        g.proceed = true;
        return g;
    }
    g.backup = auto_backup(link, report, folder);
    if (g.backup.ok) {
        g.proceed = true;
        return g;
    }
    if (on_failure == OnBackupFailure::Refuse) return g;
    g.proceed = report.choice(backup_failed_question(what, g.backup.error), "Cancel", "Continue", nullptr) == 1;
    return g;
}

} // namespace kv::ops
