// FolderWatch on Windows: not watching. The toolkit's file-descriptor hook
// takes only sockets there, so a change notification handle could not reach
// the window's event loop; the folder is shown as it was read, and read again
// whenever the Library page or the offline list is opened.

#include "platform/FolderWatch.h"

namespace kv {

struct FolderWatch::Impl {
    std::string error;
};

FolderWatch::FolderWatch(const std::string& folder, const std::vector<std::string>&)
    : impl_(std::make_unique<Impl>())
{
    impl_->error = "cannot watch " + folder + ": not available on this system";
}

FolderWatch::~FolderWatch() = default;

bool FolderWatch::ok() const { return false; }
const std::string& FolderWatch::error() const { return impl_->error; }
int FolderWatch::fd() const { return -1; }

std::vector<std::string> FolderWatch::changes(bool* overflowed)
{
    if (overflowed) *overflowed = false;
    return {};
}

} // namespace kv
