#pragma once
// A regular file held open under an exclusive lock for the life of the
// object, for a small file that several programs change in turn (the
// simulated pedals' devices list). flock on Linux (LockedFile_posix.cpp),
// LockFileEx on Windows (LockedFile_win32.cpp).
//
// The file is opened without blocking and must be a regular file of at most
// `max_bytes`: a FIFO, a device or an oversized file is refused (error()
// EINVAL or EFBIG), never waited on or read without end. A lock held by
// another program is waited for at most `patience` seconds (EWOULDBLOCK), and
// not at all once `give_up` says so (EINTR). Reads and writes are binary.
// Toolkit-free; errors are errno values.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

class LockedFile {
public:
    enum class Open { Existing, CreateIfMissing };

    LockedFile(const std::string& path, Open how, size_t max_bytes, double patience,
               const std::function<bool()>& give_up);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Whether the file is open and locked; error() says why not.
    bool ok() const { return system_ != nullptr; }
    int error() const { return error_; }

    // The whole content, read from the start (EFBIG past max_bytes).
    bool read_all(std::string& content);
    // Adds text at the end.
    bool append(std::string_view text);
    // Makes text the whole content.
    bool replace_content(std::string_view text);

private:
    struct System;
    std::unique_ptr<System> system_;
    size_t max_bytes_ = 0;
    int error_ = 0;
};

}   // namespace kv
