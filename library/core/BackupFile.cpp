#include "library/core/BackupFile.h"

#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

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

std::string backup_file_name(const LocalTime& date, int copy)
{
    char b[96];
    std::snprintf(b, sizeof b, "Tessivar_Backup_%04d-%02d-%02d_%02d-%02d-%02d", date.year, date.month, date.day,
                  date.hour, date.minute, date.second);
    std::string name = b;
    if (copy > 1) name += "_" + std::to_string(copy);
    return name + ".bkp";
}

std::string backup_file_path(const std::string& folder, const LocalTime& date)
{
    for (int copy = 1;; ++copy) {
        const std::string path = folder + backup_file_name(date, copy);
        std::error_code e;
        if (std::filesystem::symlink_status(path, e).type() == std::filesystem::file_type::not_found) return path;
        if (copy >= 1000) return path;   // then the write itself says what is wrong
    }
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
