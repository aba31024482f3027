// The zoom the window opens at, from what the desktop and the user say, and
// the user's remembered choice on disk.
#include "platform/Platform.h"
#include "settings/ViewZoom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr int kBaseW = 1070, kBaseH = 650, kFrame = 40;

ZoomInputs screen(int w, int h)
{
    ZoomInputs in;
    in.work_w = w;
    in.work_h = h;
    in.window_w = kBaseW;
    in.window_h = kBaseH;
    in.frame_h = kFrame;
    return in;
}

TEST(ViewZoom, OpeningZoomFollowsWhatTheUserAndTheDesktopSay)
{
    struct Case {
        const char* what;
        std::optional<std::string> korvane_zoom;
        std::optional<double> remembered;
        std::optional<std::string> gdk_scale;
        std::optional<double> xft_dpi;
        std::optional<double> screen_dpi;
        int work_w, work_h;
        double factor;
        const char* source;
    };
    const Case cases[] = {
        {"nothing said", {}, {}, {}, {}, {}, 1920, 1080, 1.0, "default"},
        {"Xft.dpi 96", {}, {}, {}, 96.0, {}, 1920, 1080, 1.0, "Xft.dpi"},
        {"Xft.dpi 144", {}, {}, {}, 144.0, {}, 3840, 2160, 1.5, "Xft.dpi"},
        {"Xft.dpi 192 on a 4K screen", {}, {}, {}, 192.0, {}, 3840, 2160, 2.0, "Xft.dpi"},
        {"Xft.dpi 120 rounds to 125 %", {}, {}, {}, 120.0, {}, 3840, 2160, 1.25, "Xft.dpi"},
        {"Xft.dpi 110 rounds to 125 %", {}, {}, {}, 110.0, {}, 3840, 2160, 1.25, "Xft.dpi"},
        {"Xft.dpi 100 rounds to 100 %", {}, {}, {}, 100.0, {}, 3840, 2160, 1.0, "Xft.dpi"},
        {"GDK_SCALE 2", {}, {}, "2", {}, {}, 3840, 2160, 2.0, "GDK_SCALE"},
        {"GDK_SCALE beats a smaller Xft.dpi", {}, {}, "2", 96.0, {}, 3840, 2160, 2.0, "GDK_SCALE"},
        {"Xft.dpi beats a smaller GDK_SCALE", {}, {}, "1", 144.0, {}, 3840, 2160, 1.5, "Xft.dpi"},
        {"GDK_SCALE nonsense is ignored", {}, {}, "big", 144.0, {}, 3840, 2160, 1.5, "Xft.dpi"},
        {"screen dpi without Xft.dpi", {}, {}, {}, {}, 192.0, 3840, 2160, 2.0, "screen dpi"},
        {"Xft.dpi beats the screen dpi", {}, {}, {}, 96.0, 192.0, 3840, 2160, 1.0, "Xft.dpi"},
        {"KORVANE_ZOOM beats everything", "1.5", 2.0, "2", 192.0, {}, 3840, 2160, 1.5, "KORVANE_ZOOM"},
        {"KORVANE_ZOOM in percent", "175%", {}, {}, {}, {}, 3840, 2160, 1.75, "KORVANE_ZOOM"},
        {"KORVANE_ZOOM nonsense falls through", "huge", {}, {}, 192.0, {}, 3840, 2160, 2.0, "Xft.dpi"},
        {"KORVANE_ZOOM above the range", "9", {}, {}, {}, {}, 8000, 8000, 3.0, "KORVANE_ZOOM"},
        {"KORVANE_ZOOM below the range", "0.1", {}, {}, {}, {}, 3840, 2160, 0.5, "KORVANE_ZOOM"},
        {"remembered beats the desktop", {}, 1.25, {}, 192.0, {}, 3840, 2160, 1.25, "settings"},
        {"192 dpi on a 1920x1080 screen is fitted", {}, {}, {}, 192.0, {}, 1920, 1080, 1.5,
         "Xft.dpi (fitted to the screen)"},
        {"1024x600 netbook", {}, {}, {}, 96.0, {}, 1024, 600, 0.75, "Xft.dpi (fitted to the screen)"},
        {"1366x768 laptop keeps 100 %", {}, {}, {}, 96.0, {}, 1366, 768, 1.0, "Xft.dpi"},
        {"1070 wide but short", {}, {}, {}, {}, {}, 1280, 680, 0.75, "default (fitted to the screen)"},
        {"tiny screen stops at 50 %", {}, {}, {}, {}, {}, 320, 240, 0.5, "default (fitted to the screen)"},
        {"KORVANE_ZOOM is fitted too", "3", {}, {}, {}, {}, 2560, 1440, 2.0, "KORVANE_ZOOM (fitted to the screen)"},
        {"unknown work area fits", {}, {}, {}, 288.0, {}, 0, 0, 3.0, "Xft.dpi"},
    };
    for (const Case& c : cases) {
        ZoomInputs in = screen(c.work_w, c.work_h);
        in.korvane_zoom = c.korvane_zoom;
        in.remembered = c.remembered;
        in.gdk_scale = c.gdk_scale;
        in.xft_dpi = c.xft_dpi;
        in.screen_dpi = c.screen_dpi;
        const ZoomChoice z = choose_start_zoom(in);
        EXPECT_DOUBLE_EQ(z.factor, c.factor) << c.what;
        EXPECT_EQ(z.source, c.source) << c.what;
    }
}

TEST(ViewZoom, StepsParsingAndText)
{
    EXPECT_DOUBLE_EQ(zoom_step(1.6), 1.5);
    EXPECT_DOUBLE_EQ(zoom_step(1.9), 2.0);
    EXPECT_DOUBLE_EQ(zoom_step(0.2), 0.5);
    EXPECT_DOUBLE_EQ(zoom_step(7.0), 3.0);
    EXPECT_DOUBLE_EQ(zoom_in(1.0), 1.25);
    EXPECT_DOUBLE_EQ(zoom_in(3.0), 3.0);
    EXPECT_DOUBLE_EQ(zoom_out(1.0), 0.75);
    EXPECT_DOUBLE_EQ(zoom_out(0.5), 0.5);
    EXPECT_DOUBLE_EQ(*parse_zoom(" 1.5 "), 1.5);
    EXPECT_DOUBLE_EQ(*parse_zoom("150 %"), 1.5);
    for (const char* bad : {"", "%", "1.5x", "-1", "0", "nan", "inf", "1e400", "1,5"})
        EXPECT_FALSE(parse_zoom(bad)) << bad;
    EXPECT_EQ(zoom_text(1.25), "125 %");
    EXPECT_EQ(zoom_text(0.75), "75 %");
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kv_zoom_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::string text_of(const fs::path& p)
    {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

TEST_F(SettingsFile, TheChoiceIsWrittenReadAndKeepsOtherLines)
{
    const std::string path = (dir_ / "config" / "korvane" / "settings").string();
    EXPECT_FALSE(read_remembered_zoom(path)) << "no file yet";
    EXPECT_EQ(remember_zoom(path, 1.5), "");
    EXPECT_EQ(text_of(path), "zoom=1.50\n");
    EXPECT_DOUBLE_EQ(*read_remembered_zoom(path), 1.5);

    { std::ofstream(path) << "# mine\ncolour=dark\nzoom=2\n"; }
    EXPECT_DOUBLE_EQ(*read_remembered_zoom(path), 2.0);
    EXPECT_EQ(remember_zoom(path, 0.75), "");
    EXPECT_EQ(text_of(path), "# mine\ncolour=dark\nzoom=0.75\n");
    // Nothing but the file itself in the folder: the temporary file is gone.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "config" / "korvane"), fs::directory_iterator{}), 1);

    for (const char* bad : {"zoom=12\n", "zoom=abc\n", "zoom=\n", "zoomy=1.5\n"}) {
        { std::ofstream(path) << bad; }
        EXPECT_FALSE(read_remembered_zoom(path)) << bad;
    }
    // Not a regular file: refused, not read.
    fs::remove(path);
    fs::create_directories(path);
    EXPECT_FALSE(read_remembered_zoom(path));
    EXPECT_NE(remember_zoom(path, 1.0), "");
}

TEST_F(SettingsFile, ThePathFollowsXdgConfigHomeThenHome)
{
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const char* old_home = std::getenv("HOME");
    const std::string keep_xdg = old_xdg ? old_xdg : "", keep_home = old_home ? old_home : "";
    set_env("XDG_CONFIG_HOME", "/x/conf");
    set_env("HOME", "/home/u");
    EXPECT_EQ(user_settings_path(), "/x/conf/korvane/settings");
    set_env("XDG_CONFIG_HOME", "relative");   // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(user_settings_path(), "/home/u/.config/korvane/settings");
    unset_env("XDG_CONFIG_HOME");
    EXPECT_EQ(user_settings_path(), "/home/u/.config/korvane/settings");
    unset_env("HOME");
    EXPECT_EQ(user_settings_path(), "");
    if (old_xdg) set_env("XDG_CONFIG_HOME", keep_xdg.c_str());
    if (old_home) set_env("HOME", keep_home.c_str());
}

} // namespace
} // namespace kv
