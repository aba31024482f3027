#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

mode_t new_file_mode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mode_t(0644) & ~mask;
}

// The rename is only kept across a crash once the folder is synced; a folder
// that cannot be opened or synced does not make the write a failure.
void sync_folder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

const char* kind_of(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string not_regular(mode_t mode, bool through_link)
{
    return std::string(through_link ? "it is a symbolic link to " : "it is ") + kind_of(mode) +
           ", not a regular file; nothing was written";
}

}  // namespace

OutputTarget resolve_output_target(const std::string& path)
{
    OutputTarget t;
    t.file = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        // Nothing there (or not reachable): creating the file says why.
        if (!path.empty() && path.back() == '/') t.reason = "it names a folder, not a file; nothing was written";
        return t;
    }
    if (S_ISREG(st.st_mode)) return t;
    if (!S_ISLNK(st.st_mode)) {
        t.reason = not_regular(st.st_mode, false);
        return t;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        t.reason = std::string("it is a symbolic link to nothing that can be written (") + std::strerror(errno) +
                   "); nothing was written";
        return t;
    }
    t.file = real;
    std::free(real);
    if (::stat(t.file.c_str(), &st) != 0) {
        t.reason = std::string("it is a symbolic link to ") + t.file + ": " + std::strerror(errno);
        return t;
    }
    if (!S_ISREG(st.st_mode)) t.reason = not_regular(st.st_mode, true);
    return t;
}

std::string WriteResult::message() const
{
    if (ok()) return {};
    return "cannot write " + path + ": " + (reason.empty() ? std::string(std::strerror(error)) : reason);
}

AtomicFile::AtomicFile(std::string path, Sync sync) : path_(std::move(path)), sync_(sync)
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
    const std::string folder = folder_of(file_);
    std::string pattern = folder + "/." + base_of(file_) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        result_.failed = WriteResult::Step::Create;
        result_.error = errno;
        return;
    }
    temp_ = pattern;
    (void)::fchmod(fd, new_file_mode());
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        result_.failed = WriteResult::Step::Create;
        result_.error = errno;
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
    }
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
        const bool flushed = std::fflush(stream_) == 0 && (sync_ == Sync::Later || ::fsync(::fileno(stream_)) == 0);
        if (!flushed) {
            result_.failed = WriteResult::Step::Flush;
            result_.error = errno;
        }
    }
    // A close can report a write the flush did not.
    if (std::fclose(stream_) != 0 && result_.ok()) {
        result_.failed = WriteResult::Step::Flush;
        result_.error = errno;
    }
    stream_ = nullptr;
    if (result_.ok() && ::rename(temp_.c_str(), file_.c_str()) != 0) {
        result_.failed = WriteResult::Step::Rename;
        result_.error = errno;
    }
    if (result_.ok()) {
        temp_.clear();
        if (sync_ == Sync::Now) sync_folder(folder_of(file_));
    } else {
        ::unlink(temp_.c_str());
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
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    finished_ = true;
}

WriteResult write_file_atomically(const std::string& path, std::span<const uint8_t> bytes, Sync sync)
{
    AtomicFile out(path, sync);
    out.write(bytes.data(), bytes.size());
    return out.commit();
}

bool sync_files(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
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

bool remove_file(const std::string& path, int* error)
{
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (error) *error = errno;
    return false;
}

}  // namespace kv
