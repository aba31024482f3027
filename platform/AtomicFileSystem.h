#pragma once
// The calls into the system behind AtomicFile (platform/AtomicFile.h), one
// file per system: AtomicFile_posix.cpp and AtomicFile_win32.cpp. Errors are
// errno values (0 = done), so that WriteResult reads alike everywhere.

#include <cstdio>
#include <string>

namespace kv::atomic_file {

// Creates a new file from `pattern` (ending in "XXXXXX", replaced by six
// letters or digits) for binary writing. 0 with `pattern` the file's path and
// *stream open, or errno.
int create_temporary(std::string& pattern, std::FILE** stream);
// Makes what was written to the stream durable before the rename.
int flush_to_disk(std::FILE* stream);
// Puts `temp` in the place of `target` in one step; the old target stays as
// it was when this fails.
int replace(const std::string& temp, const std::string& target);
// Keeps the rename across a crash where the system needs telling; a failure
// here does not fail the write.
void sync_folder(const std::string& folder);

}   // namespace kv::atomic_file
