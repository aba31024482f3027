#pragma once
// Scratch folders for tests: made fresh below the test temporary folder and
// removed, with everything in them, when the test ends. A scratch home is in
// addition the user's home for as long as it lives: HOME, XDG_CONFIG_HOME,
// XDG_STATE_HOME and XDG_DATA_HOME point into it (the settings file, the
// simulated pedal's memory and the toolkit's own files land there, never in
// the real home), and its user-dirs file names the scratch folder itself as
// the documents folder, so the presets folder is <scratch>/Brakwell/Korvane/
// presets/. The Windows names follow: HOMEDRIVE, and with `profile_too`
// USERPROFILE (the desktop's parent there). The variables are put back when
// it ends.

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

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
        const std::string config = path() + "/.config";
        set("HOME", path());
        set("XDG_CONFIG_HOME", config);
        set("XDG_STATE_HOME", path() + "/.local/state");
        set("XDG_DATA_HOME", path() + "/.local/share");
        set("XDG_CACHE_HOME", path() + "/.cache");
        set("HOMEDRIVE", path());
        if (profile_too) set("USERPROFILE", path());
        std::error_code ignored;
        std::filesystem::create_directories(config, ignored);
        std::ofstream(config + "/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << path() << "\"\n";
    }
    ~ScratchHome()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) set_env(it->first.c_str(), *it->second);
            else unset_env(it->first.c_str());
        }
    }

private:
    void set(const char* name, const std::string& value)
    {
        saved_.emplace_back(name, get_env(name));
        set_env(name, value);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace kv::test
