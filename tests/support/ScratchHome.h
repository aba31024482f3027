#pragma once
// Scratch folders for tests: made fresh below the test temporary folder and
// removed, with everything in them, when the test ends. A scratch home is in
// addition the home folder (HOMEDRIVE) that the program's folders go below,
// and with `profile_too` the user profile (USERPROFILE, the desktop's parent).

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace kv::test {

class ScratchFolder {
public:
    // "<temporary folder><prefix>XXXXXX" (six new letters or digits); path()
    // is empty when it could not be made.
    explicit ScratchFolder(const std::string& prefix)
    {
        static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device seed;
        std::minstd_rand pick(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = ::testing::TempDir() + prefix;
            for (int i = 0; i < 6; ++i) name += kLetters[pick() % (sizeof kLetters - 1)];
            std::error_code ec;
            // create_directory is false, without an error, when the name is taken.
            if (std::filesystem::create_directory(name, ec)) {
                path_ = name;
                return;
            }
            if (ec) return;
        }
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
        set_env("HOMEDRIVE", path());
        if (profile_too) set_env("USERPROFILE", path());
    }
};

} // namespace kv::test
