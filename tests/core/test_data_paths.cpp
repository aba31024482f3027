#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

class CwdGuard {
public:
    CwdGuard() : old_(fs::current_path()) {}
    ~CwdGuard() { std::error_code ec; fs::current_path(old_, ec); }

private:
    fs::path old_;
};

bool holds(const std::vector<std::string>& v, const std::string& s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(DataPaths, TheWorkingDirectoryComesFirstThenTheBuildersSourceTree)
{
    CwdGuard guard;
    const fs::path dir = fs::temp_directory_path() / ("kv_cwd_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    // Nothing here: this test runs inside its build tree, so the source tree is found.
    EXPECT_EQ(find_resource_dir("app", "Korvane.h"), std::string(KV_SOURCE_DIR) + "/app");
    // A folder with the marker in the working directory wins.
    fs::create_directories(dir / "app");
    std::ofstream(dir / "app" / "Korvane.h") << "";
    EXPECT_EQ(find_resource_dir("app", "Korvane.h"), "app");
    // Nowhere at all: the bare name, so that loads fail quietly.
    EXPECT_EQ(find_resource_dir("no-such-folder-anywhere", "x"), "no-such-folder-anywhere");
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
}

TEST(DataPaths, AnInstalledProgramLooksInItsOwnPrefixAndNeverInTheSourceTree)
{
    // Installed under an unusual prefix (a temporary install, a moved tree):
    // the data beside the prefix is searched before the configured prefix.
    const auto c = resource_candidates("img", "/opt/kv-test/bin");
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c.front(), "img");
    EXPECT_TRUE(holds(c, "/opt/kv-test/bin/img"));
    EXPECT_TRUE(holds(c, "/opt/kv-test/share/korvane/img"));
    EXPECT_TRUE(holds(c, "/usr/share/korvane/img"));
    EXPECT_LT(std::find(c.begin(), c.end(), "/opt/kv-test/share/korvane/img") - c.begin(),
              std::find(c.begin(), c.end(), "/usr/share/korvane/img") - c.begin());
    EXPECT_FALSE(holds(c, std::string(KV_SOURCE_DIR) + "/img"));

    // A program at the file system's root level gives no doubled slashes.
    const auto r = resource_candidates("bin", "/bin");
    EXPECT_TRUE(holds(r, "/share/korvane/bin"));
    EXPECT_FALSE(std::any_of(r.begin(), r.end(), [](const std::string& s) { return s.find("//") != s.npos; }));

    // Unknown executable folder: still the working directory and the system folders.
    const auto u = resource_candidates("bin", "");
    EXPECT_EQ(u.front(), "bin");
    EXPECT_TRUE(holds(u, "/usr/share/korvane/bin"));
}

TEST(DataPaths, ABuildTreeProgramAlsoSearchesItsSourceTree)
{
    const std::string exe = executable_dir();
    ASSERT_FALSE(exe.empty());
    const auto c = resource_candidates("img", exe);
    EXPECT_TRUE(holds(c, exe + "/img"));
    EXPECT_TRUE(holds(c, std::string(KV_SOURCE_DIR) + "/img"));
    EXPECT_EQ(c.back(), std::string(KV_SOURCE_DIR) + "/img");
    // A sibling folder whose name merely starts like the build tree is not inside it.
    const auto s = resource_candidates("img", std::string(KV_BINARY_DIR) + "-other/bin");
    EXPECT_FALSE(holds(s, std::string(KV_SOURCE_DIR) + "/img"));
}

} // namespace
} // namespace kv
