// The desktop on Linux: the X11 display, its scale resources, and the
// system's name from os-release.

#include "app/DesktopSystem.h"

#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <poll.h>
#include <sys/utsname.h>

#include <chrono>
#include <cstdio>

namespace kv {

namespace {

// The desktop's scale as X reports it (the Xft.dpi resource); nothing when
// it is not set.
std::optional<double> xft_dpi()
{
    const char* resources = fl_display ? XResourceManagerString(fl_display) : nullptr;
    if (!resources) return std::nullopt;
    const std::string text(resources);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind("Xft.dpi:", 0) == 0) {
            const std::optional<double> dpi = parse_zoom(line.substr(8));
            if (dpi) return dpi;
        }
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> program_arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void attach_command_console() {}

void console_lines_at_once()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

bool open_desktop()
{
    // The toolkit would end the program with a bare "Can't open display".
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    fl_open_display(display);
    return true;
}

void read_desktop_scale(ZoomInputs& in)
{
    fl_open_display();
    in.gdk_scale = get_env("GDK_SCALE");
    in.xft_dpi = xft_dpi();
    float h = 0, v = 0;
    Fl::screen_dpi(h, v, 0);
    if (h > 0) in.screen_dpi = double(h);
}

void paint_before_waiting(Fl_Window& window)
{
    if (!window.shown() || !fl_display) return;
    const Window xid = fl_xid(&window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    XFlush(fl_display);
    bool exposed = false;
    while (!exposed && std::chrono::steady_clock::now() < deadline) {
        XEvent event;
        if (XCheckTypedWindowEvent(fl_display, xid, MapNotify, &event) ||
            XCheckTypedWindowEvent(fl_display, xid, ConfigureNotify, &event) ||
            XCheckTypedWindowEvent(fl_display, xid, Expose, &event)) {
            exposed = event.type == Expose;
            fl_handle(event);
            continue;
        }
        pollfd display{ConnectionNumber(fl_display), POLLIN, 0};
        poll(&display, 1, 10);
    }
    Fl::flush();
}

std::string made_for_text()
{
    return "Linux desktops on X11 (Debian 12 and later), 64-bit PCs";
}

std::string this_computer_text()
{
    std::string system = "Linux";
    const FileRead release = read_file_limited("/etc/os-release", 64 * 1024);
    if (release) {
        const std::string text(release.bytes.begin(), release.bytes.end());
        const size_t at = text.find("PRETTY_NAME=");
        if (at != std::string::npos && (at == 0 || text[at - 1] == '\n')) {
            std::string v = text.substr(at + 12, text.find('\n', at) - at - 12);
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'')) v = v.substr(1, v.size() - 2);
            if (!v.empty()) system = v;
        }
    }
    utsname u{};
    const std::string machine = uname(&u) == 0 ? std::string(u.machine) : std::string();
    return machine.empty() ? system : system + ", " + machine;
}

std::string pedal_access_text()
{
    return "through its USB serial bridge (no driver to install; the udev rule\n"
           "              installed with Korvane lets the user at the seat open it)";
}

void mark_as_dialog(Fl_Window& dialog, Fl_Window* owner)
{
    if (!fl_display) return;
    const Window xid = fl_xid(&dialog);
    if (owner && owner->shown() && owner != &dialog) XSetTransientForHint(fl_display, xid, fl_xid(owner));
    const Atom type = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialog_type = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(fl_display, xid, type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog_type), 1);
}

} // namespace kv
