// `korvane globals show | save FILE | load FILE`: the pedal's global record
// (AUX switches, favourite preset, pages, pad, footswitch B/X, tempo LED,
// MIDI channel and CC map) printed, kept in a file of its 34 bytes in record
// order, or put back from such a file.
//
// A file to load is checked before anything is sent: it must be exactly 34
// bytes and hold only what the settings panels could have produced (CC
// numbers 0..99, each used once, AUX action codes 0..15); otherwise it is a
// bad file (status 2) and the pedal is not even asked.

#include "cli/Commands.h"
#include "ops/Settings.h"
#include "platform/SafeFile.h"
#include "settings/GlobalsRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

const Command& globals_command()
{
    for (const Command& c : commands())
        if (std::string(c.name) == "globals") return c;
    return commands().front();
}

// Writes a file whole or not at all: a temporary file beside it, flushed to
// the disk, then renamed over it. False with `why` on any failure.
bool write_file_atomically(const std::string& path, const uint8_t* data, size_t size, std::string& why)
{
    const std::string tmp = path + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += size_t(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (!ok) why = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

std::optional<GlobalsRecord> read_from_pedal(Session& s)
{
    if (!s.connect()) return std::nullopt;
    std::optional<GlobalsRecord> r = ops::read_globals(s.link());
    if (!r) s.err("korvane globals: the pedal did not send its global settings.");
    return r;
}

int show(Session& s)
{
    if (s.args.size() != 1) return s.usage_error(globals_command(), "globals show takes no file");
    const std::optional<GlobalsRecord> r = read_from_pedal(s);
    if (!r) return kFailed;
    for (const std::string& line : describe(*r)) s.out(line);
    return kOk;
}

int save(Session& s)
{
    if (s.args.size() != 2) return s.usage_error(globals_command(), "globals save needs one FILE");
    const std::string& path = s.args[1];
    const std::optional<GlobalsRecord> r = read_from_pedal(s);
    if (!r) return kFailed;
    std::string why;
    if (!write_file_atomically(path, r->bytes.data(), r->bytes.size(), why)) {
        s.err("korvane globals: could not write " + path + ": " + why);
        return kFailed;
    }
    s.out("Global settings saved to " + path + " (" + std::to_string(kGlobalsRecordSize) + " bytes).");
    return kOk;
}

int load(Session& s)
{
    if (s.args.size() != 2) return s.usage_error(globals_command(), "globals load needs one FILE");
    const std::string& path = s.args[1];
    // Anything but a small regular file is refused before it is read.
    const FileRead file = read_file_limited(path, kSmallTextFileLimit);
    if (!file) {
        s.err("korvane globals: " + read_failure_message(path, file.error));
        return kUsage;
    }
    if (file.bytes.size() != kGlobalsRecordSize) {
        s.err("korvane globals: " + path + " holds " + std::to_string(file.bytes.size()) +
              " bytes; a global settings file holds " + std::to_string(kGlobalsRecordSize) + ".");
        return kUsage;
    }
    GlobalsRecord record;
    std::memcpy(record.bytes.data(), file.bytes.data(), kGlobalsRecordSize);
    const std::vector<std::string> problems = record_problems(record);
    if (!problems.empty()) {
        for (const std::string& p : problems) s.err("korvane globals: " + path + ": " + p + ".");
        s.err("korvane globals: nothing was sent.");
        return kUsage;
    }
    if (!s.confirm("Overwrite the pedal's global settings with " + path + "?")) return kUsage;
    if (!s.connect()) return kFailed;

    switch (ops::load_globals(s.link(), record)) {
    case ops::LoadOutcome::Verified:
        s.out("Global settings loaded from " + path + " and verified.");
        return kOk;
    case ops::LoadOutcome::WriteFailed:
        s.err("korvane globals: the global settings could not be sent to the pedal.");
        break;
    case ops::LoadOutcome::ReadBackFailed:
        s.err("korvane globals: sent, but the pedal did not answer when read back; check with `korvane globals show`.");
        break;
    case ops::LoadOutcome::Mismatch:
        s.err("korvane globals: the pedal holds other settings than those sent.");
        break;
    }
    return kFailed;
}

} // namespace

int cmd_globals(Session& s)
{
    if (s.args.empty()) return s.usage_error(globals_command(), "globals needs show, save or load");
    const std::string& what = s.args[0];
    if (what == "show") return show(s);
    if (what == "save") return save(s);
    if (what == "load") return load(s);
    return s.usage_error(globals_command(), "unknown globals action '" + what + "'");
}

} // namespace kv::cli
