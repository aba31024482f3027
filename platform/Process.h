#pragma once
// Starting one of our own helper programs (the simulated pedal) and ending it
// again. Each system has its own file behind this header (POSIX:
// Process_posix.cpp; Windows: Process_win32.cpp). Toolkit-free.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// The path of the program `name` beside the running executable, else on
// PATH; empty when there is none.
std::string find_program(const std::string& name);

// A program started with its arguments, its standard output and error going
// to `output` (a file, appended; empty: where ours go). Ended (asked, then
// made to) when the object goes; on Linux also when this process ends in
// any other way (the kernel's parent-death signal).
// This process's id.
long current_process_id();
// True while a process with this id exists.
bool process_exists(long id);

class ChildProcess {
public:
    // Nothing when it could not be started (`error` says why).
    static std::unique_ptr<ChildProcess> start(const std::string& program, const std::vector<std::string>& args,
                                               const std::string& output, std::string* error);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False once it has ended (of itself or by stop()).
    bool running();
    // Asks it to end, waits up to `seconds` for it, then ends it by force.
    void stop(double seconds = 3.0);
    long id() const { return id_; }

private:
    explicit ChildProcess(long id) : id_(id) {}
    long id_ = 0;
    bool ended_ = false;
};

} // namespace kv
