#include "platform/Process.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kv {

namespace {

bool executable_file(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string find_program(const std::string& name)
{
    if (const std::string here = executable_dir(); !here.empty() && executable_file(here + "/" + name))
        return here + "/" + name;
    const std::string path = get_env("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(':', start), path.size());
        const std::string dir = path.substr(start, end - start);
        if (!dir.empty() && dir.front() == '/' && executable_file(dir + "/" + name)) return dir + "/" + name;
        start = end + 1;
    }
    return {};
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                                                  const std::string& output, std::string* error)
{
    // Everything the child needs is made before the fork: after it, only
    // calls that are safe there until exec.
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const int out = output.empty() ? -1 : ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (!output.empty() && out < 0) {
        if (error) *error = "cannot write " + output + ": " + std::strerror(errno);
        return nullptr;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
#ifdef __linux__
        // It ends with us, however we end (a crash or a kill included).
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(126);
#endif
        const int in = ::open("/dev/null", O_RDONLY);
        if (in >= 0) ::dup2(in, STDIN_FILENO);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const int fork_error = errno;
    if (out >= 0) ::close(out);
    if (pid < 0) {
        if (error) *error = "cannot start " + program + ": " + std::strerror(fork_error);
        return nullptr;
    }
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

long current_process_id() { return long(::getpid()); }

bool process_exists(long id) { return id > 0 && (::kill(pid_t(id), 0) == 0 || errno == EPERM); }

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running()
{
    if (ended_) return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_t(id_), &status, WNOHANG);
    if (r == pid_t(id_) || (r < 0 && errno == ECHILD)) ended_ = true;
    return !ended_;
}

void ChildProcess::stop(double seconds)
{
    if (!running()) return;
    ::kill(pid_t(id_), SIGTERM);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!running()) return;
    ::kill(pid_t(id_), SIGKILL);
    int status = 0;
    ::waitpid(pid_t(id_), &status, 0);
    ended_ = true;
}

} // namespace kv
