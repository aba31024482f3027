#pragma once
// Writing a file so that a failed or interrupted write never destroys what
// was there. Every file the program writes (offline presets, their list,
// backups, the global settings, the log file) goes through here:
//
//   - the new content goes to a temporary file created with mkstemp in the
//     same folder as the target (".<name>.XXXXXX", so a rename never crosses
//     a file system and the folder's file choosers do not show it);
//   - commit() flushes it, fsyncs it, closes it and only then renames it over
//     the target, and fsyncs the folder so the rename itself is kept;
//   - any failure on the way removes the temporary file and leaves the old
//     target exactly as it was; so does destroying an AtomicFile that was
//     never committed (an operation that gave up half way).
//
// Only a regular file is ever replaced. The target is looked at with lstat
// first (resolve_output_target):
//   - nothing there, or a regular file: written as above;
//   - a symbolic link: followed, through every link, to the file it finally
//     names, which must be an existing regular file; that file is replaced in
//     its own folder (so the folder must be writable) and the link stays;
//   - anything else (a folder, FIFO, character or block device, socket, a
//     link to one of those or to nothing) is refused before anything is
//     created: Step::Target.
//
// Failures are values: WriteResult says which step failed and errno, and
// message() gives "cannot write <path>: <reason>" for the user.
//
//     AtomicFile out(path);
//     out.write(bytes.data(), bytes.size());      // or fwrite(..., out.stream())
//     const WriteResult r = out.commit();
//     if (!r) { report(r.message()); return; }
//
// For a whole buffer at once: write_file_atomically(path, bytes).
//
// A writer of many files at once (an import of thousands of presets) passes
// Sync::Later: the file is renamed into place without its own fsync, and the
// writer calls sync_files(folder) once before it writes what refers to them.
// The new file gets mode 0644 (less the process umask), like a plain fopen.
// Toolkit-free.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

namespace kv {

struct WriteResult {
    enum class Step { Done, Target, Create, Write, Flush, Rename };
    Step failed = Step::Done;   // Done: the target holds the new content
    int error = 0;              // errno of the failed step
    std::string path;           // the target
    std::string reason;         // Target: "it is a FIFO, not a regular file", ...

    bool ok() const { return failed == Step::Done; }
    explicit operator bool() const { return ok(); }
    // "cannot write <path>: <reason>"; empty when ok().
    std::string message() const;
};

// Where a write to `path` goes. ok() with `file` the path to replace (the
// path itself, or the regular file a symbolic link finally names); otherwise
// `reason` says what the target is ("it is a folder, not a regular file").
struct OutputTarget {
    std::string file;
    std::string reason;
    bool ok() const { return reason.empty(); }
};
OutputTarget resolve_output_target(const std::string& path);

// Sync::Now: commit() fsyncs the file and its folder. Sync::Later: neither;
// the caller syncs once with sync_files().
enum class Sync { Now, Later };

class AtomicFile {
public:
    // Creates the temporary file next to `path`. A failure here is kept and
    // returned by commit(); writes are then ignored.
    explicit AtomicFile(std::string path, Sync sync = Sync::Now);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool is_open() const { return stream_ != nullptr; }
    // For writers that want stdio (fwrite). Null when the creation failed.
    std::FILE* stream() { return stream_; }
    // Appends bytes; false (and remembered) when they could not all be written.
    bool write(const void* data, size_t size);
    // Marks the content as incomplete (a writer that used stream() and saw a
    // short fwrite); commit() then fails and keeps the old target.
    void fail(int error);
    // Makes the new content the target's, or reports why not (the old target
    // is then untouched and the temporary file gone). Once only.
    WriteResult commit();
    // Throws the new content away; the target is untouched.
    void abandon();

    const std::string& path() const { return path_; }
    const std::string& temporary_path() const { return temp_; }

private:
    std::string path_;
    std::string file_;   // what is replaced: path_, or the file a link names
    std::string temp_;
    std::FILE* stream_ = nullptr;
    WriteResult result_;
    bool finished_ = false;
    Sync sync_ = Sync::Now;
};

WriteResult write_file_atomically(const std::string& path, std::span<const uint8_t> bytes, Sync sync = Sync::Now);

// Makes every file written with Sync::Later on the file system of `folder`
// durable (syncfs); false when the system reports a write error.
bool sync_files(const std::string& folder);

// The name an AtomicFile gives its temporary file for a target called
// `target` is ".<target>.XXXXXX" (six letters or digits). Returns the target's
// name when `name` has that shape, else nothing.
std::optional<std::string> temporary_file_target(const std::string& name);

// Removes a file. True when it is gone afterwards (also when it was not there);
// otherwise `error` holds errno.
bool remove_file(const std::string& path, int* error = nullptr);

}  // namespace kv
