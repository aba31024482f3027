#pragma once
// The list of pretend USB-serial bridges that the serial driver reads (format
// and reading rules in link/DeviceList.h). Every tessivar-sim adds its own
// line, naming its process, while it serves and takes exactly that line out
// again when it stops; the lines of other live programs stay. Lines whose
// process has ended (a simulator killed by SIGKILL) are tidied away whenever
// a line is added or removed.
//
// Changes are made under an exclusive lock on the file (platform/LockedFile.h), so several
// simulators can share it. The file is opened without blocking and must be a
// regular file of sensible size: a FIFO, a device such as /dev/zero or an
// oversized file is refused (errno is EINVAL or EFBIG then), never waited on
// or read without end. A lock held by someone else is waited for at most a
// few seconds, and not at all once `give_up` says so.

#include <functional>
#include <string>

namespace kv {

// "<path>\tBrakwell Tessivar\t<serial>\t<process id>" (no newline).
std::string device_line(const std::string& tty_path, const std::string& serial_number, long pid);

// Polled while the lock is waited for; true ends the wait (and the call fails
// with errno EINTR).
using GiveUp = std::function<bool()>;

// Appends line + "\n", creating the file when needed, and drops stale lines.
bool add_device_line(const std::string& file, const std::string& line, const GiveUp& give_up = {});

// Removes the first line equal to `line` and any stale lines; true when
// `line` was found and the file rewritten.
bool remove_device_line(const std::string& file, const std::string& line, const GiveUp& give_up = {});

}  // namespace kv
