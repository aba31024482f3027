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

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

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
            if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
            else unsetenv(it->first.c_str());
        }
    }

private:
    void set(const char* name, const std::string& value)
    {
        const char* was = std::getenv(name);
        saved_.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
        setenv(name, value.c_str(), 1);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace kv::test
