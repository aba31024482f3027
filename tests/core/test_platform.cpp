#include "platform/Clock.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

struct EnvGuard {
    std::string name;
    std::optional<std::string> saved;
    explicit EnvGuard(const char* n) : name(n), saved(kv::get_env(n)) {}
    ~EnvGuard()
    {
        if (saved) setenv(name.c_str(), saved->c_str(), 1);
        else unsetenv(name.c_str());
    }
};

std::filesystem::path temp_dir(const char* tag)
{
    auto p = std::filesystem::temp_directory_path() / (std::string("kv_platform_") + tag + std::to_string(getpid()));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

TEST(PlatformFolders, HomeDriveFallsBackToDocumentsUnderHome)
{
    EnvGuard hd("HOMEDRIVE"), home("HOME");
    unsetenv("HOMEDRIVE");
    setenv("HOME", "/home/tess", 1);
    EXPECT_EQ(kv::home_drive(), "/home/tess/Documents");
    setenv("HOMEDRIVE", "/mnt/c", 1);
    EXPECT_EQ(kv::home_drive(), "/mnt/c");
}

TEST(PlatformFolders, WithoutHomeTheHomeFolderComesFromThePasswordDatabase)
{
    EnvGuard hd("HOMEDRIVE"), home("HOME");
    unsetenv("HOMEDRIVE");
    const passwd* me = ::getpwuid(::getuid());
    ASSERT_NE(me, nullptr);
    const std::string expected = std::string(me->pw_dir) + "/Documents";
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(value ? "HOME empty" : "HOME unset");
        if (value) setenv("HOME", value, 1);
        else unsetenv("HOME");
        EXPECT_EQ(kv::home_folder(), std::optional<std::string>(me->pw_dir));
        EXPECT_EQ(kv::home_drive(), expected);
    }
    // An empty HOMEDRIVE is no drive either.
    setenv("HOMEDRIVE", "", 1);
    EXPECT_EQ(kv::home_drive(), expected);
}

TEST(PlatformFolders, DesktopFolderFallsBackToHomeWhenNoDesktop)
{
    EnvGuard up("USERPROFILE"), home("HOME");
    auto dir = temp_dir("desk");
    unsetenv("USERPROFILE");
    setenv("HOME", dir.c_str(), 1);
    EXPECT_EQ(kv::desktop_folder(), dir.string());
    std::filesystem::create_directory(dir / "Desktop");
    EXPECT_EQ(kv::desktop_folder(), (dir / "Desktop").string());
    setenv("USERPROFILE", "/profile", 1);
    EXPECT_EQ(kv::desktop_folder(), "/profile/Desktop");
    std::filesystem::remove_all(dir);
}

TEST(PlatformFolders, DataFolderIsCreatedEvenWhenTheDriveIsMissing)
{
    auto dir = temp_dir("data");
    std::string drive = (dir / "Documents").string();
    std::string presets = kv::ensure_data_folder(drive);
    EXPECT_EQ(presets, drive + "/Brakwell/Korvane/presets/");
    EXPECT_TRUE(kv::is_directory(presets));
    // A second run finds everything in place and changes nothing.
    EXPECT_EQ(kv::ensure_data_folder(drive), presets);
    std::filesystem::remove_all(dir);
}

TEST(PlatformClock, ManualClockMovesOnlyWhenTold)
{
    kv::ManualClock c(5.0);
    EXPECT_DOUBLE_EQ(c.now(), 5.0);
    c.sleep(0.25);
    c.advance(1.0);
    c.sleep(-3);
    EXPECT_DOUBLE_EQ(c.now(), 6.25);
}

TEST(PlatformClock, SystemClockIsMonotonic)
{
    auto& c = kv::system_clock();
    double a = c.now();
    double b = c.now();
    EXPECT_LE(a, b);
}

} // namespace
