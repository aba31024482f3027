#include "library/core/BackupFile.h"

#include "library/core/ReadFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kv {

std::string backup_file_name(const LocalTime& date)
{
    char b[64];
    std::snprintf(b, sizeof b, "Tessivar_Backup_%02d-%02d-%d.bkp", date.month, date.day, date.year);
    return b;
}

std::string backup_file_path(const std::string& folder, const LocalTime& date)
{
    return folder + backup_file_name(date);
}

BackupFile read_backup_file(const std::string& path)
{
    BackupFile b;
    const OutsideFile in = read_outside_file(path, kBackupFileReadLimit);
    if (!in.ok()) {
        b.error = in.error;
        b.reason = in.message(path);
        return b;
    }
    if (in.bytes.size() != kBackupFileSize) {
        b.error = EINVAL;
        b.reason = path + " is " + std::to_string(in.bytes.size()) + " bytes long; a backup file has " +
                   std::to_string(kBackupFileSize) + " bytes.";
        return b;
    }
    std::copy(in.bytes.begin(), in.bytes.end(), b.image.begin());
    return b;
}

}  // namespace kv
