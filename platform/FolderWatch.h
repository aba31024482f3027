#pragma once
// Watching a folder for files that other programs (or this one) write,
// rename or remove, so that what is shown of the folder follows it while the
// program runs. The watch hands out one file descriptor that becomes
// readable when something changed; the caller waits on it with whatever
// waits for its other input (the window: the toolkit's file-descriptor hook)
// and then calls changes(), which never blocks. Nothing polls.
//
// The folder itself and the subfolders named when the watch starts are
// watched (one level: "setlists" of the presets folder); a watched
// subfolder that appears later is watched from then on. A change is reported
// by the name of the file relative to the folder ("presets.lst",
// "setlists/Friday.json"), once per event, so a burst gives many; the caller
// coalesces. Hidden names (".presets.lst.Ab12Cd", the temporary files that
// writes rename into place) are left out: the rename that ends such a write
// is reported under the file's own name.
//
// A folder not there yet (it is made when its first file is written) is
// waited for: once it appears it is watched, and the first changes() after
// that sets `overflowed`, so the caller reads everything again.
//
// One back-end per system (FolderWatch_linux.cpp: inotify). Where a system
// has none, or the folder cannot be watched, ok() is false, fd() is -1 and
// error() says why; the program then shows the folder as it read it.

#include <memory>
#include <string>
#include <vector>

namespace kv {

class FolderWatch {
public:
    // Starts watching `folder` (with or without its trailing slash) and its
    // `subfolders` (names, one level below).
    FolderWatch(const std::string& folder, const std::vector<std::string>& subfolders = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool ok() const;
    const std::string& error() const;
    // Readable when changes are waiting; -1 when not watching.
    int fd() const;

    // The names changed since the last call (possibly none), without waiting.
    // `overflowed` is set when the system dropped events (too many at once):
    // the caller then reads everything again.
    std::vector<std::string> changes(bool* overflowed = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kv
