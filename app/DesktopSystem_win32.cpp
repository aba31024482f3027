// The desktop on Windows: the arguments in UTF-16, the parent's console for a
// command given to the window program, the monitor's DPI (the program
// declares itself DPI-aware in its manifest, so Windows reports the real
// resolution and does not stretch the window), and the Windows version.

#include "app/DesktopSystem.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace kv {

namespace {

std::string utf8_of(const wchar_t* wide)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string text(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    text.resize(size_t(n - 1));
    return text;
}

bool usable(HANDLE h)
{
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

} // namespace

std::vector<std::string> program_arguments(int argc, char** argv)
{
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < n; ++i) args.push_back(utf8_of(wide[i]));
    LocalFree(wide);
    return args;
}

void attach_command_console()
{
    // korvane.com has a console of its own. korvane.exe, the window program,
    // has none: started with a command from a console, it writes to that one
    // (output sent to a pipe or a file stays there).
    if (GetConsoleWindow()) return;
    const bool out = usable(GetStdHandle(STD_OUTPUT_HANDLE));
    const bool err = usable(GetStdHandle(STD_ERROR_HANDLE));
    if (out && err) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!out && !std::freopen("CONOUT$", "w", stdout)) return;
    if (!err) (void)std::freopen("CONOUT$", "w", stderr);
}

void console_lines_at_once()
{
    // The Microsoft C runtime has no line buffering: unbuffered instead.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

bool open_desktop()
{
    // Windows always has a desktop; the toolkit connects when the first
    // window is shown.
    return true;
}

void read_desktop_scale(ZoomInputs& in)
{
    HDC screen = GetDC(nullptr);
    if (!screen) return;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpi > 0) in.screen_dpi = double(dpi);
}

void paint_before_waiting(Fl_Window& window)
{
    if (!window.shown()) return;
    // Sends the window its pending paint message directly, past the queue
    // (no input, no timer is handled).
    if (HWND hwnd = fl_xid(&window)) UpdateWindow(hwnd);
    Fl::flush();
}

std::string made_for_text()
{
    return "Windows 10 and 11, 64-bit PCs";
}

std::string this_computer_text()
{
    // GetVersionEx answers what the manifest declares; ntdll says the truth.
    std::string system = "Windows";
    using VersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    using WineFn = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll) {
        auto version = reinterpret_cast<VersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        OSVERSIONINFOW v{};
        v.dwOSVersionInfoSize = sizeof v;
        if (version && version(&v) == 0) {
            char text[64];
            std::snprintf(text, sizeof text, "Windows %lu.%lu (build %lu)", v.dwMajorVersion, v.dwMinorVersion,
                          v.dwBuildNumber);
            system = text;
        }
        auto wine = reinterpret_cast<WineFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
        if (wine && wine()) system += std::string(" under Wine ") + wine();
    }
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return system + ", x86_64";
    case PROCESSOR_ARCHITECTURE_ARM64: return system + ", arm64";
    default: return system;
    }
}

std::string pedal_access_text()
{
    return "through its USB serial bridge, a COM port (the FTDI driver\n"
           "              comes with Windows)";
}

// The toolkit shows a modal window as a popup of the active window already;
// Windows has no dialog type to set beside that.
void mark_as_dialog(Fl_Window&, Fl_Window*) {}

} // namespace kv
