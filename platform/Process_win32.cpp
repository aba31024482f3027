// Our helper programs on Windows: CreateProcessW, and the process's handle
// opened again by its id to ask whether it still runs or to end it. Windows
// has no polite "please end" for a console program without a window, so
// stop() ends it at once: our helpers write their state as they go.

#include "platform/Process.h"

#include "platform/Platform.h"
#include "platform/Utf16_win32.h"

#include <algorithm>

namespace kv {

namespace {

bool program_file(const std::string& path)
{
    const DWORD a = ::GetFileAttributesW(win32::widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::string& word)
{
    std::wstring w = win32::widen(word);
    if (!w.empty() && w.find_first_of(L" \t\"") == std::wstring::npos) return w;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : w) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

std::string find_program(const std::string& name)
{
    const std::string file = name + ".exe";
    if (const std::string here = executable_dir(); !here.empty() && program_file(here + "/" + file))
        return here + "/" + file;
    const std::string path = get_env("PATH").value_or(std::string());
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(';', start), path.size());
        const std::string dir = path.substr(start, end - start);
        if (!dir.empty() && program_file(dir + "/" + file)) return win32::forward_slashes(dir) + "/" + file;
        start = end + 1;
    }
    return {};
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                                                  const std::string& output, std::string* error)
{
    std::wstring line = quoted(program);
    for (const std::string& a : args) line += L" " + quoted(a);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!output.empty()) {
        out = ::CreateFileW(win32::widen(output).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            if (error) *error = "cannot write " + output + ": the system refused it";
            return nullptr;
        }
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (out != INVALID_HANDLE_VALUE) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = out;
        si.hStdError = out;
    }
    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    if (!started) {
        if (error) *error = "cannot start " + program + ": error " + std::to_string(::GetLastError());
        return nullptr;
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return std::unique_ptr<ChildProcess>(new ChildProcess(long(pi.dwProcessId)));
}

long current_process_id() { return long(::GetCurrentProcessId()); }

bool process_exists(long id)
{
    if (id <= 0) return false;
    const HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, DWORD(id));
    if (!h) return ::GetLastError() == ERROR_ACCESS_DENIED;
    const bool alive = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    ::CloseHandle(h);
    return alive;
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running()
{
    if (ended_) return false;
    if (!process_exists(id_)) ended_ = true;
    return !ended_;
}

void ChildProcess::stop(double seconds)
{
    if (!running()) return;
    const HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, DWORD(id_));
    if (h) {
        ::TerminateProcess(h, 1);
        ::WaitForSingleObject(h, DWORD(seconds * 1000));
        ::CloseHandle(h);
    }
    ended_ = true;
}

} // namespace kv
