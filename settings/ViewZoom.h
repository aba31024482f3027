#pragma once
// The window's zoom as a number: the steps it takes, the factor the window
// opens at, and the user's remembered choice. Toolkit-free; the main window
// measures the screen and the desktop's scale and hands them in.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

constexpr double kZoomMin = 0.5;
constexpr double kZoomMax = 3.0;
constexpr double kZoomStep = 0.25;

// The nearest step between kZoomMin and kZoomMax (1.6 -> 1.5, 1.9 -> 2.0).
double zoom_step(double factor);
// One step up or down, kept within the range.
double zoom_in(double factor);
double zoom_out(double factor);
// A factor as written by a person: "1.5", "150%" or "150 %". Nothing for
// anything else (empty, not a number, zero or less, not finite).
std::optional<double> parse_zoom(std::string_view text);
// "150 %".
std::string zoom_text(double factor);

// What the opening zoom is chosen from.
struct ZoomInputs {
    std::optional<std::string> korvane_zoom;   // KORVANE_ZOOM
    std::optional<double> remembered;          // the user's settings file
    std::optional<std::string> gdk_scale;      // GDK_SCALE
    std::optional<double> xft_dpi;             // the X resource Xft.dpi
    std::optional<double> screen_dpi;          // the screen's own resolution, used when Xft.dpi is unset
    int work_w = 0, work_h = 0;                // the screen's work area; 0: unknown
    int window_w = 0, window_h = 0;            // the window at 100 %
    int frame_h = 0;                           // what the window manager adds (title bar)
};

struct ZoomChoice {
    double factor = 1.0;
    // Where the factor came from: "KORVANE_ZOOM", "settings", "GDK_SCALE",
    // "Xft.dpi" or "default"; with " (fitted to the screen)" when it had to
    // be reduced.
    std::string source;
};

// KORVANE_ZOOM if it holds a factor, else the remembered choice, else the
// desktop's scale (the larger of GDK_SCALE and Xft.dpi / 96; without either,
// the screen's resolution / 96), else 100 %;
// rounded to a step, then reduced step by step until the window fits the
// work area (never below kZoomMin).
ZoomChoice choose_start_zoom(const ZoomInputs& in);

// The largest step not above `factor` at which a window of base_w x base_h
// (plus frame_h) fits a work area of work_w x work_h; unknown areas fit.
double fit_zoom(double factor, int base_w, int base_h, int frame_h, int work_w, int work_h);

// The user's settings file: settings_folder() + "/settings"
// (platform/Platform.h): $XDG_CONFIG_HOME/korvane/settings, or
// $HOME/.config/korvane/settings on Linux, %APPDATA%/Korvane/settings on Windows. Empty when neither variable is set.
std::string user_settings_path();
// The zoom remembered in a settings file ("zoom=1.5"); nothing when the file
// is missing, unreadable or holds no valid zoom.
std::optional<double> read_remembered_zoom(const std::string& path);
// Writes the zoom into the settings file (atomically, its folder created,
// other lines kept). An empty string on success, else why not.
std::string remember_zoom(const std::string& path, double factor);

} // namespace kv
