// FolderWatch on Linux: one inotify instance, one watch for the folder and
// one for each named subfolder that exists. The events that end a change of
// a file's content or name count: a write closed, a rename in or out, a
// creation or removal. A file merely opened and closed without writing (a
// reader, a lock taken and released) does not.

#include "platform/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace kv {

namespace {

constexpr uint32_t kFileEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE;

std::string without_slash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

} // namespace

struct FolderWatch::Impl {
    int fd = -1;
    std::string folder;
    std::string error;
    std::vector<std::string> subfolders;
    std::map<int, std::string> prefix_of;   // watch descriptor -> "" or "setlists/"
    int ancestor_wd = -1;                     // while the folder is not there yet

    void watch_subfolder(const std::string& name)
    {
        const int wd = inotify_add_watch(fd, (folder + "/" + name).c_str(), kFileEvents | IN_ONLYDIR);
        if (wd >= 0) prefix_of[wd] = name + "/";
    }

    // Watches the folder, or, while it is not there (it is made when its
    // first file is written), the nearest folder above it that is, for the
    // folders on the way down to appear. True when the folder itself is
    // watched; errno-style failure in `error` otherwise.
    bool watch_folder_or_ancestor()
    {
        if (ancestor_wd >= 0) {
            inotify_rm_watch(fd, ancestor_wd);
            ancestor_wd = -1;
        }
        const int wd = inotify_add_watch(fd, folder.c_str(), kFileEvents | IN_ONLYDIR);
        if (wd >= 0) {
            prefix_of[wd] = "";
            for (const std::string& s : subfolders) watch_subfolder(s);
            return true;
        }
        std::string above = folder;
        while (errno == ENOENT) {
            const size_t slash = above.rfind('/');
            if (slash == std::string::npos || slash == 0) break;
            above.erase(slash);
            ancestor_wd = inotify_add_watch(fd, above.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
            if (ancestor_wd >= 0) return false;
        }
        error = std::string("cannot watch ") + folder + ": " + std::strerror(errno);
        return false;
    }
};

FolderWatch::FolderWatch(const std::string& folder, const std::vector<std::string>& subfolders)
    : impl_(std::make_unique<Impl>())
{
    Impl& m = *impl_;
    m.folder = without_slash(folder);
    m.subfolders = subfolders;
    m.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m.fd < 0) {
        m.error = std::string("cannot watch ") + m.folder + ": " + std::strerror(errno);
        return;
    }
    if (!m.watch_folder_or_ancestor() && m.ancestor_wd < 0) {
        ::close(m.fd);
        m.fd = -1;
    }
}

FolderWatch::~FolderWatch()
{
    if (impl_->fd >= 0) ::close(impl_->fd);
}

bool FolderWatch::ok() const { return impl_->fd >= 0; }
const std::string& FolderWatch::error() const { return impl_->error; }
int FolderWatch::fd() const { return impl_->fd; }

std::vector<std::string> FolderWatch::changes(bool* overflowed)
{
    Impl& m = *impl_;
    std::vector<std::string> out;
    if (overflowed) *overflowed = false;
    if (m.fd < 0) return out;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(m.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;   // EAGAIN: nothing more waiting
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event)) + ssize_t(e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                if (overflowed) *overflowed = true;
                continue;
            }
            // Something appeared above a folder not yet there: perhaps the
            // folder, or a step towards it. Once it is watched, everything
            // is read again (its first files may already be in it).
            if (m.ancestor_wd >= 0 && e->wd == m.ancestor_wd) {
                if (m.watch_folder_or_ancestor() && overflowed) *overflowed = true;
                continue;
            }
            const auto prefix = m.prefix_of.find(e->wd);
            if (prefix == m.prefix_of.end() || e->len == 0) continue;
            const std::string name(e->name, strnlen(e->name, e->len));
            if (name.empty() || name.front() == '.') continue;
            // A watched subfolder made after the watch started.
            if (prefix->second.empty() && (e->mask & IN_ISDIR) && (e->mask & (IN_CREATE | IN_MOVED_TO)) &&
                std::find(m.subfolders.begin(), m.subfolders.end(), name) != m.subfolders.end())
                m.watch_subfolder(name);
            out.push_back(prefix->second + name);
        }
    }
    return out;
}

} // namespace kv
