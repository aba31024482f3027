#pragma once
// The list of pretend USB-serial bridges that the serial driver reads (one
// line per device: "<tty path>\t<description>\t<serial number>"). Every
// tessivar-sim adds its own line while it serves and takes exactly that line
// out again when it stops; the lines of other programs stay. Changes are made
// under an exclusive flock on the file, so several simulators can share it.

#include <string>

namespace kv {

// "<path>\tBrakwell Tessivar\t<serial>" (no newline).
std::string device_line(const std::string& tty_path, const std::string& serial_number);

// Appends line + "\n", creating the file when needed.
bool add_device_line(const std::string& file, const std::string& line);

// Removes the first line equal to `line`; true when it was found and the file
// rewritten.
bool remove_device_line(const std::string& file, const std::string& line);

}  // namespace kv
