#include "platform/AtomicFile.h"
#include "platform/AtomicFileSystem.h"

#include <cerrno>
#include <cstring>

// The steps every system shares; creating, syncing and replacing files are in
// AtomicFile_posix.cpp and AtomicFile_win32.cpp.

namespace kv {

namespace {

std::string folder_of(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string base_of(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string WriteResult::message() const
{
    if (ok()) return {};
    return "cannot write " + path + ": " + (reason.empty() ? std::string(std::strerror(error)) : reason);
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path))
{
    result_.path = path_;
    const OutputTarget target = resolve_output_target(path_);
    if (!target.ok()) {
        result_.failed = WriteResult::Step::Target;
        result_.error = EINVAL;
        result_.reason = target.reason;
        return;
    }
    file_ = target.file;
    std::string pattern = folder_of(file_) + "/." + base_of(file_) + ".XXXXXX";
    if (const int e = atomic_file::create_temporary(pattern, &stream_); e != 0) {
        result_.failed = WriteResult::Step::Create;
        result_.error = e;
        stream_ = nullptr;
        return;
    }
    temp_ = pattern;
}

AtomicFile::~AtomicFile() { abandon(); }

bool AtomicFile::write(const void* data, size_t size)
{
    if (!stream_ || !result_.ok()) return false;
    if (size == 0) return true;
    if (std::fwrite(data, 1, size, stream_) != size) {
        fail(errno ? errno : EIO);
        return false;
    }
    return true;
}

void AtomicFile::fail(int error)
{
    if (!result_.ok()) return;
    result_.failed = WriteResult::Step::Write;
    result_.error = error ? error : EIO;
}

WriteResult AtomicFile::commit()
{
    if (finished_) return result_;
    finished_ = true;
    if (!stream_) return result_;
    if (result_.ok()) {
        const int e = std::fflush(stream_) == 0 ? atomic_file::flush_to_disk(stream_) : errno;
        if (e != 0) {
            result_.failed = WriteResult::Step::Flush;
            result_.error = e;
        }
    }
    // A close can report a write the flush did not.
    if (std::fclose(stream_) != 0 && result_.ok()) {
        result_.failed = WriteResult::Step::Flush;
        result_.error = errno;
    }
    stream_ = nullptr;
    if (result_.ok()) {
        if (const int e = atomic_file::replace(temp_, file_); e != 0) {
            result_.failed = WriteResult::Step::Rename;
            result_.error = e;
        }
    }
    if (result_.ok()) {
        temp_.clear();
        atomic_file::sync_folder(folder_of(file_));
    } else {
        remove_file(temp_);
        temp_.clear();
    }
    return result_;
}

void AtomicFile::abandon()
{
    // A commit() after this must not say the target was written.
    if (!finished_ && result_.ok()) {
        result_.failed = WriteResult::Step::Write;
        result_.error = ECANCELED;
    }
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temp_.empty()) {
        remove_file(temp_);
        temp_.clear();
    }
    finished_ = true;
}

WriteResult write_file_atomically(const std::string& path, std::span<const uint8_t> bytes)
{
    AtomicFile out(path);
    out.write(bytes.data(), bytes.size());
    return out.commit();
}

std::optional<std::string> temporary_file_target(const std::string& name)
{
    constexpr size_t kSuffix = 7;   // ".XXXXXX"
    if (name.size() < 1 + 1 + kSuffix || name[0] != '.') return std::nullopt;
    const size_t dot = name.size() - kSuffix;
    if (name[dot] != '.') return std::nullopt;
    for (size_t i = dot + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return std::nullopt;
    }
    return name.substr(1, dot - 1);
}

}  // namespace kv
