#pragma once
// Scratch folders for tests: made fresh below the test temporary folder and
// removed, with everything in them, when the test ends. A scratch home is in
// addition the home folder (HOMEDRIVE) that the program's folders go below,
// and with `profile_too` the user profile (USERPROFILE, the desktop's parent).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace kv::test {

class ScratchFolder {
public:
    // "<temporary folder><prefix>XXXXXX"; path() is empty when it could not be made.
    explicit ScratchFolder(const std::string& prefix)
    {
        std::string name = ::testing::TempDir() + prefix + "XXXXXX";
        if (mkdtemp(name.data())) path_ = name;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // Without a trailing slash.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class ScratchHome : public ScratchFolder {
public:
    explicit ScratchHome(const std::string& prefix, bool profile_too = true) : ScratchFolder(prefix)
    {
        if (!ok()) return;
        setenv("HOMEDRIVE", path().c_str(), 1);
        if (profile_too) setenv("USERPROFILE", path().c_str(), 1);
    }
};

} // namespace kv::test
