#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>

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

// The documents folder as `xdg-user-dir DOCUMENTS` gives it, from the
// user-dirs file; ~/Documents when that names none.
TEST(PlatformFolders, DocumentsFolderFollowsTheUserDirsFile)
{
    EnvGuard home("HOME"), config("XDG_CONFIG_HOME"), hd("HOMEDRIVE");
    auto dir = temp_dir("xdg");
    setenv("HOME", dir.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOMEDRIVE", "/mnt/c", 1);   // a Windows name: not looked at here
    const std::string h = dir.string();
    std::filesystem::create_directories(dir / ".config");
    const struct {
        const char* file;   // nullptr: no user-dirs file
        std::string documents;
    } cases[] = {
        {nullptr, h + "/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", h + "/Dokumente"},
        {"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n  XDG_DOCUMENTS_DIR=\"$HOME/Mes documents/\"\n",
         h + "/Mes documents"},
        {"XDG_DOCUMENTS_DIR=\"/srv/docs\"\n", "/srv/docs"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/a \\\"b\\\"\"\n", h + "/a \"b\""},
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", h},                       // the home folder itself
        {"XDG_DOCUMENTS_DIR=\"relative/docs\"\n", h + "/Documents"},   // not used
        {"#XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n", h + "/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOMEWORK\"\n", h + "/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/unclosed\n", h + "/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/First\"\nXDG_DOCUMENTS_DIR=\"$HOME/Second\"\n", h + "/Second"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        std::filesystem::remove(dir / ".config" / "user-dirs.dirs");
        if (c.file) std::ofstream(dir / ".config" / "user-dirs.dirs") << c.file;
        EXPECT_EQ(kv::documents_folder(), c.documents);
        EXPECT_EQ(kv::home_drive(), c.documents);
    }
    // XDG_CONFIG_HOME names where the file is.
    std::filesystem::create_directories(dir / "conf");
    std::ofstream(dir / "conf" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Elsewhere\"\n";
    setenv("XDG_CONFIG_HOME", (dir / "conf").c_str(), 1);
    EXPECT_EQ(kv::documents_folder(), h + "/Elsewhere");
    std::filesystem::remove_all(dir);
}

TEST(PlatformFolders, PresetsFolderIsUnderTheDocumentsFolderOrKorvaneDataDir)
{
    EnvGuard home("HOME"), config("XDG_CONFIG_HOME"), data("KORVANE_DATA_DIR");
    auto dir = temp_dir("presets");
    const std::string h = dir.string();
    setenv("HOME", dir.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("KORVANE_DATA_DIR");
    std::filesystem::create_directories(dir / ".config");
    std::ofstream(dir / ".config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(kv::presets_folder_path(), h + "/Dokumente/Brakwell/Korvane/presets/");
    // Finding it creates nothing.
    EXPECT_FALSE(std::filesystem::exists(dir / "Dokumente"));

    // An earlier version's folder under ~/Documents is found while the
    // documents folder has none of its own.
    std::filesystem::create_directories(dir / "Documents/Brakwell/Korvane/presets");
    EXPECT_EQ(kv::presets_folder_path(), h + "/Documents/Brakwell/Korvane/presets/");
    std::filesystem::create_directories(dir / "Dokumente/Brakwell/Korvane/presets");
    EXPECT_EQ(kv::presets_folder_path(), h + "/Dokumente/Brakwell/Korvane/presets/");

    setenv("KORVANE_DATA_DIR", (dir / "mine").c_str(), 1);
    EXPECT_EQ(kv::presets_folder_path(), h + "/mine/");
    setenv("KORVANE_DATA_DIR", "", 1);   // empty: not set
    EXPECT_EQ(kv::presets_folder_path(), h + "/Dokumente/Brakwell/Korvane/presets/");
    std::filesystem::remove_all(dir);
}

// Inside the presets folder every missing level is made for a file to be
// written; elsewhere only the last, so a mistyped path makes no tree.
TEST(PlatformFolders, FoldersAreMadeForWritingOnlyDownToThePresetsFolder)
{
    EnvGuard home("HOME"), config("XDG_CONFIG_HOME"), data("KORVANE_DATA_DIR");
    auto dir = temp_dir("writing");
    const std::string h = dir.string();
    setenv("HOME", dir.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("KORVANE_DATA_DIR");
    EXPECT_TRUE(kv::make_folder_for_writing(h + "/Documents/Brakwell/Korvane/presets/autobackup"));
    EXPECT_TRUE(kv::is_directory(h + "/Documents/Brakwell/Korvane/presets/autobackup"));
    EXPECT_FALSE(kv::make_folder_for_writing(h + "/other/deep/folder"));
    EXPECT_FALSE(std::filesystem::exists(dir / "other"));
    EXPECT_TRUE(kv::make_folder_for_writing(h + "/other"));
    // A file written into the presets folder makes it.
    std::filesystem::remove_all(dir / "Documents");
    EXPECT_TRUE(kv::write_file_atomically(h + "/Documents/Brakwell/Korvane/presets/presets.lst",
                                          std::span<const uint8_t>()).ok());
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "Documents/Brakwell/Korvane/presets/presets.lst"));
    EXPECT_FALSE(kv::write_file_atomically(h + "/nowhere/x.bin", std::span<const uint8_t>()).ok());
    std::filesystem::remove_all(dir);
}

TEST(PlatformFolders, WithoutHomeTheHomeFolderComesFromThePasswordDatabase)
{
    EnvGuard home("HOME"), config("XDG_CONFIG_HOME");
    unsetenv("XDG_CONFIG_HOME");
    const passwd* me = ::getpwuid(::getuid());
    ASSERT_NE(me, nullptr);
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(value ? "HOME empty" : "HOME unset");
        if (value) setenv("HOME", value, 1);
        else unsetenv("HOME");
        EXPECT_EQ(kv::home_folder(), std::optional<std::string>(me->pw_dir));
    }
}

TEST(PlatformFolders, DesktopFolderFallsBackToHomeWhenNoDesktop)
{
    EnvGuard up("USERPROFILE"), home("HOME"), config("XDG_CONFIG_HOME");
    auto dir = temp_dir("desk");
    unsetenv("XDG_CONFIG_HOME");
    setenv("USERPROFILE", "/profile", 1);   // a Windows name: not looked at here
    setenv("HOME", dir.c_str(), 1);
    EXPECT_EQ(kv::desktop_folder(), dir.string());
    std::filesystem::create_directory(dir / "Desktop");
    EXPECT_EQ(kv::desktop_folder(), (dir / "Desktop").string());
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
