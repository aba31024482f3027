#include "platform/AtomicFile.h"
#include "platform/AtomicFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

mode_t new_file_mode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mode_t(0644) & ~mask;
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

bool remove_file(const std::string& path, int* error)
{
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (error) *error = errno;
    return false;
}

namespace atomic_file {

int create_temporary(std::string& pattern, std::FILE** stream)
{
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    (void)::fchmod(fd, new_file_mode());
    *stream = ::fdopen(fd, "wb");
    if (!*stream) {
        const int e = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        return e;
    }
    return 0;
}

int flush_to_disk(std::FILE* stream) { return ::fsync(::fileno(stream)) == 0 ? 0 : errno; }

int replace(const std::string& temp, const std::string& target)
{
    return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
}

void sync_folder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace atomic_file

}  // namespace kv
