#pragma once
// How the generators hand over what they made: the file written whole, or, for
// the generators whose output the tests compare with the committed file, a
// "--check" run that only says whether the file is still what would be written.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::gen {

inline std::string_view bytes_view(const std::vector<std::uint8_t>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

enum class WriteResult { Ok, CannotOpen, Failed };

// Replaces the file at `path` with `content`.
inline WriteResult write_file(const std::string& path, std::string_view content)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return WriteResult::CannotOpen;
    bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok ? WriteResult::Ok : WriteResult::Failed;
}

// write_file, telling stderr "<tool>: cannot write <path>" or
// "<tool>: writing <path> failed" when it does not succeed.
inline bool write_output(const char* tool, const std::string& path, std::string_view content)
{
    switch (write_file(path, content)) {
    case WriteResult::Ok: return true;
    case WriteResult::CannotOpen: std::fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str()); break;
    case WriteResult::Failed: std::fprintf(stderr, "%s: writing %s failed\n", tool, path.c_str()); break;
    }
    return false;
}

// "[--check] [path]": any argument other than "--check" names the file.
struct Arguments {
    bool check = false;
    std::string path;
};

inline Arguments parse_arguments(int argc, char** argv, std::string default_path)
{
    Arguments a{false, std::move(default_path)};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--check") a.check = true;
        else a.path = arg;
    }
    return a;
}

// With --check: true when the file holds exactly `content` ("<path> is out of
// date" on stderr otherwise). Without: writes the file ("cannot write <path>"
// on stderr when that fails).
inline bool check_or_write(const Arguments& a, std::string_view content)
{
    if (a.check) {
        std::ifstream in(a.path, std::ios::binary);
        const std::string current((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (current == content) return true;
        std::fprintf(stderr, "%s is out of date\n", a.path.c_str());
        return false;
    }
    if (write_file(a.path, content) == WriteResult::Ok) return true;
    std::fprintf(stderr, "cannot write %s\n", a.path.c_str());
    return false;
}

}  // namespace kv::gen
