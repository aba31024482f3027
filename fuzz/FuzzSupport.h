#pragma once
// Helpers shared by the fuzz targets: a private scratch folder for readers
// that take a path, and a cursor that hands out the input's bytes as choices.
// A target aborts (crash report) on a broken promise with fuzz_check().

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::fuzz {

// A folder of this process's own, made on first use inside KV_FUZZ_SCRATCH
// (which scripts/fuzz.sh makes and removes), else in /dev/shm or /tmp, where
// it is left for the system's cleaning: the fuzzer may end the process at
// any moment.
inline const std::string& scratch_dir()
{
    static const std::string dir = [] {
        const char* given = std::getenv("KV_FUZZ_SCRATCH");   // scripts/fuzz.sh's own folder
        const char* base = given && *given ? given : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string d = std::string(base) + "/kv-fuzz-" + std::to_string(long(getpid()));
        if (::access(d.c_str(), F_OK) != 0 && ::mkdir(d.c_str(), 0700) != 0) std::abort();
        return d;
    }();
    return dir;
}

// Writes bytes to <scratch>/<name> (replacing it) and gives the path.
inline std::string scratch_file(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = scratch_dir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    if (!out) std::abort();
    return path;
}

// Deletes the files (not folders) directly inside a folder.
inline void empty_folder(const std::string& folder)
{
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_type != DT_DIR) ::unlink((folder + "/" + e->d_name).c_str());
        ::closedir(d);
    }
}

inline void fuzz_check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// The input read front to back as a series of choices; past the end every
// choice is 0.
class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : p_(data), left_(size) {}
    uint8_t byte()
    {
        if (left_ == 0) return 0;
        --left_;
        return *p_++;
    }
    uint16_t u16() { return uint16_t(byte() | (byte() << 8)); }
    // Up to n bytes as they come (fewer at the end of the input).
    std::string_view take(size_t n)
    {
        if (n > left_) n = left_;
        std::string_view s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        left_ -= n;
        return s;
    }
    bool empty() const { return left_ == 0; }
    size_t left() const { return left_; }
    const uint8_t* rest() const { return p_; }

private:
    const uint8_t* p_;
    size_t left_;
};

}  // namespace kv::fuzz
