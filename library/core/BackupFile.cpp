#include "library/core/BackupFile.h"

#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kv {

namespace {

// The error number the restore's status line gives for a file it could not use.
int error_code(FileError e)
{
    switch (e) {
    case FileError::NoError: return 0;
    case FileError::NotFound: return ENOENT;
    case FileError::NoAccess: return EACCES;
    case FileError::NotRegular: return EINVAL;
    case FileError::TooLarge: return EFBIG;
    case FileError::OpenFailed:
    case FileError::ReadFailed: break;
    }
    return EIO;
}

}  // namespace

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
    const FileRead in = read_file_limited(path, kBackupFileReadLimit);
    if (!in) {
        b.error = error_code(in.error);
        b.reason = read_failure_message(path, in.error);
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
