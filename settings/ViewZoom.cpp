#include "settings/ViewZoom.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kv {

namespace {

constexpr size_t kSettingsFileLimit = 64 * 1024;
constexpr const char* kZoomKey = "zoom=";

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

bool fits(double z, int base_w, int base_h, int frame_h, int work_w, int work_h)
{
    if (work_w <= 0 || work_h <= 0) return true;
    return std::lround(base_w * z) <= work_w && std::lround(base_h * z) + frame_h <= work_h;
}

} // namespace

double zoom_step(double factor)
{
    if (!std::isfinite(factor)) return 1.0;
    const double stepped = std::round(factor / kZoomStep) * kZoomStep;
    return std::clamp(stepped, kZoomMin, kZoomMax);
}

double zoom_in(double factor) { return zoom_step(zoom_step(factor) + kZoomStep); }

double zoom_out(double factor) { return zoom_step(zoom_step(factor) - kZoomStep); }

std::optional<double> parse_zoom(std::string_view text)
{
    text = trimmed(text);
    bool percent = false;
    if (!text.empty() && text.back() == '%') {
        percent = true;
        text = trimmed(text.substr(0, text.size() - 1));
    }
    if (text.empty() || text.size() > 32) return std::nullopt;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v) || v <= 0) return std::nullopt;
    return percent ? v / 100.0 : v;
}

std::string zoom_text(double factor)
{
    char b[32];
    std::snprintf(b, sizeof b, "%ld %%", std::lround(factor * 100));
    return b;
}

double fit_zoom(double factor, int base_w, int base_h, int frame_h, int work_w, int work_h)
{
    double z = zoom_step(factor);
    while (z > kZoomMin && !fits(z, base_w, base_h, frame_h, work_w, work_h)) z -= kZoomStep;
    return z;
}

ZoomChoice choose_start_zoom(const ZoomInputs& in)
{
    ZoomChoice c{1.0, "default"};
    const std::optional<double> asked = in.korvane_zoom ? parse_zoom(*in.korvane_zoom) : std::nullopt;
    if (asked) {
        c = {*asked, "KORVANE_ZOOM"};
    } else if (in.remembered && *in.remembered > 0) {
        c = {*in.remembered, "settings"};
    } else {
        double gdk = 0;
        if (in.gdk_scale) {
            const std::optional<double> g = parse_zoom(*in.gdk_scale);
            if (g) gdk = *g;
        }
        const double xft = in.xft_dpi && std::isfinite(*in.xft_dpi) && *in.xft_dpi > 0 ? *in.xft_dpi / 96.0 : 0;
        if (gdk > 0 && gdk >= xft) c = {gdk, "GDK_SCALE"};
        else if (xft > 0) c = {xft, "Xft.dpi"};
        else if (in.screen_dpi && std::isfinite(*in.screen_dpi) && *in.screen_dpi > 0) c = {*in.screen_dpi / 96.0, "screen dpi"};
    }
    const double stepped = zoom_step(c.factor);
    const double fitted = fit_zoom(stepped, in.window_w, in.window_h, in.frame_h, in.work_w, in.work_h);
    c.factor = fitted;
    if (fitted < stepped) c.source += " (fitted to the screen)";
    return c;
}

std::string user_settings_path()
{
    const std::string folder = settings_folder();
    return folder.empty() ? std::string() : folder + "/settings";
}

std::optional<double> read_remembered_zoom(const std::string& path)
{
    if (path.empty()) return std::nullopt;
    const FileRead file = read_file_limited(path, kSettingsFileLimit);
    if (!file) return std::nullopt;
    const std::string text(file.bytes.begin(), file.bytes.end());
    std::optional<double> found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
        if (line.substr(0, std::strlen(kZoomKey)) == kZoomKey) {
            const std::optional<double> z = parse_zoom(line.substr(std::strlen(kZoomKey)));
            if (z && *z >= kZoomMin && *z <= kZoomMax) found = zoom_step(*z);
        }
        start = end + 1;
    }
    return found;
}

std::string remember_zoom(const std::string& path, double factor)
{
    if (path.empty()) return "no settings folder (neither XDG_CONFIG_HOME nor HOME is set)";
    // The folders up to the file's own.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (!is_directory(folder) && !make_directory(folder)) return "cannot create " + folder;
    }
    std::string kept;
    const FileRead old = read_file_limited(path, kSettingsFileLimit);
    if (old) {
        const std::string text(old.bytes.begin(), old.bytes.end());
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            if (trimmed(line).substr(0, std::strlen(kZoomKey)) != kZoomKey && !trimmed(line).empty()) kept += line + "\n";
            start = end + 1;
        }
    }
    char b[48];
    std::snprintf(b, sizeof b, "%s%.2f\n", kZoomKey, zoom_step(factor));
    const std::string text = kept + b;
    const WriteResult r = write_file_atomically(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return r ? std::string() : r.message();
}

} // namespace kv
