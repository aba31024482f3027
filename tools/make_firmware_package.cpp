// Writes a firmware package (.fdt) for trying and testing the firmware update
// without a real package: the text header (version character, patch
// character, the number of note lines, the notes) and two images of equal
// length whose bytes follow a fixed pattern. The pedal cannot run them: the
// simulated pedal (tessivar-sim --update-mode) takes them like any other.
//
// usage: make_firmware_package OUTPUT [--firmware X.Y.Z] [--image-bytes N] [--note TEXT]...
//   --firmware X.Y.Z   the version the package installs (default 2.5.1; major 0-4,
//                      minor 0-15, patch 0-71: what the header's characters can carry)
//   --image-bytes N    the length of each of the two images (default 65536, 256 pages;
//                      1 to 65536)
//   --note TEXT        a release-note line (shorter than 99 characters); default one note
//
// The build writes build/sample-firmware.fdt with the defaults.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// The character that stands for `value` in the header: '0'-'9' for 0-9,
// then upward from 'A' (0x37 + value).
std::optional<char> header_character(int value)
{
    if (value < 0 || value > 0x7E - 0x37) return std::nullopt;
    return char(value < 10 ? '0' + value : 0x37 + value);
}

std::optional<long> number(const char* text, long low, long high)
{
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < low || v > high) return std::nullopt;
    return v;
}

int usage(const char* why)
{
    std::fprintf(stderr, "make_firmware_package: %s\n"
                         "usage: make_firmware_package OUTPUT [--firmware X.Y.Z] [--image-bytes N] [--note TEXT]...\n",
                 why);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string output;
    int major = 2, minor = 5, patch = 1;
    long image_bytes = 65536;
    std::vector<std::string> notes;
    bool notes_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--firmware" && has_value) {
            if (std::sscanf(argv[++i], "%d.%d.%d", &major, &minor, &patch) != 3 || major < 0 || major > 4 ||
                minor < 0 || minor > 15)
                return usage("--firmware needs X.Y.Z (major 0-4, minor 0-15, patch 0-71)");
        } else if (a == "--image-bytes" && has_value) {
            const auto n = number(argv[++i], 1, 65536);
            if (!n) return usage("--image-bytes needs 1 to 65536");
            image_bytes = *n;
        } else if (a == "--note" && has_value) {
            notes.emplace_back(argv[++i]);
            notes_given = true;
            if (notes.back().size() > 98 || notes.back().find('\n') != std::string::npos)
                return usage("a note is one line shorter than 99 characters");
        } else if (!a.empty() && a[0] != '-' && output.empty()) {
            output = a;
        } else {
            return usage(("unknown argument '" + a + "'").c_str());
        }
    }
    if (output.empty()) return usage("no OUTPUT file");
    if (!notes_given) notes = {"Sample package made by make_firmware_package, for the simulated pedal"};
    const auto version = header_character(major * 16 + minor);
    const auto patch_char = header_character(patch);
    if (!version || !patch_char) return usage("--firmware needs X.Y.Z (major 0-4, minor 0-15, patch 0-71)");

    std::string bytes;
    bytes += *version;
    bytes += '\n';
    bytes += *patch_char;
    bytes += '\n';
    bytes += std::to_string(notes.size()) + "\n";
    for (const std::string& n : notes) bytes += n + "\n";
    for (long i = 0; i < 2 * image_bytes; ++i) bytes += char((i * 7 + 3) % 256);

    // Written beside the output and renamed over it.
    const std::string temp = output + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "make_firmware_package: %s: %s\n", temp.c_str(), std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written || std::rename(temp.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "make_firmware_package: cannot write %s: %s\n", output.c_str(), std::strerror(errno));
        std::remove(temp.c_str());
        return 1;
    }
    std::printf("%s: firmware %d.%d.%d, %zu note(s), two images of %ld bytes\n", output.c_str(), major, minor, patch,
                notes.size(), image_bytes);
    return 0;
}
