// What the command line writes and reads besides the pedal, against the
// simulated pedal through the in-process driver: output targets that are not
// regular files, standard output as "-", and the reasons given when a file
// cannot be written.

#include "cli/Terminal.h"
#include "library/core/OfflinePresets.h"
#include "link/InProcessDriver.h"
#include "platform/AtomicFile.h"
#include "preset/Catalogue.h"
#include "preset/RecordCheck.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "settings/GlobalsRecord.h"
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "tests/support/CliPedal.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kv {
namespace {

namespace fs = std::filesystem;

class CliFilesTest : public ::testing::Test, protected test::CliPedal {
protected:
    CliFilesTest()
    {
        pedal.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        for (int s = 0; s < kSlotCount; ++s) pedal.memory().slots[s].title = make_title("Slot " + std::to_string(s + 1));
    }

    std::vector<uint8_t> memory_image() const
    {
        std::vector<uint8_t> image(kPresetImageSize);
        for (int s = 0; s < kSlotCount; ++s) {
            set_image_parameters(image.data(), s, pedal.memory().slots[s].parameters);
            set_image_title(image.data(), s, pedal.memory().slots[s].title);
        }
        return image;
    }

    test::ScratchHome home{"kv_cli_files_", false};
    const std::string drive = home.path();
};

std::string kind(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "missing";
    if (S_ISREG(st.st_mode)) return "file " + std::to_string(st.st_size);
    if (S_ISLNK(st.st_mode)) return "link";
    if (S_ISFIFO(st.st_mode)) return "fifo";
    if (S_ISCHR(st.st_mode)) return "chr";
    if (S_ISDIR(st.st_mode)) return "dir";
    if (S_ISSOCK(st.st_mode)) return "sock";
    return "other";
}

TEST_F(CliFilesTest, OutputsThatAreNotRegularFilesAreRefusedBeforeThePedalIsAsked)
{
    const std::string d = drive + "/";
    ASSERT_EQ(::mkfifo((d + "fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir((d + "folder").c_str(), 0755), 0);
    fs::create_symlink(d + "fifo", d + "link-to-fifo");
    fs::create_symlink(d + "nowhere", d + "dangling");
    fs::create_symlink("/dev/null", d + "link-to-null");
    // A character device of its own (the null device's numbers), so that a
    // fault here can never replace the system's.
    const bool have_device = ::mknod((d + "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock_path = d + "socket";
    ASSERT_LT(sock_path.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sock_path.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);

    struct Target {
        std::string name, what;
    };
    std::vector<Target> targets = {
        {"fifo", "a FIFO"},
        {"folder", "a folder"},
        {"folder/", "a folder"},
        {"link-to-fifo", "a symbolic link to a FIFO"},
        {"dangling", "a symbolic link to nothing"},
        {"link-to-null", "a symbolic link to a character device"},
        {"socket", "a socket"},
    };
    if (have_device) targets.push_back({"device", "a character device"});
    struct Command {
        std::vector<std::string> args;   // the target goes last
    };
    const std::vector<Command> commands = {{{"backup"}}, {{"read", "3"}}, {{"globals", "save"}}};
    for (const Command& c : commands) {
        for (const Target& t : targets) {
            SCOPED_TRACE(c.args[0] + " " + t.name);
            std::vector<std::string> args = c.args;
            args.push_back(d + t.name);
            const std::string before = kind(d + t.name);
            EXPECT_EQ(run(args), 2);
            EXPECT_TRUE(requests.empty());
            EXPECT_NE(err.find("cannot write " + d + t.name + ": it is " + t.what), std::string::npos) << err;
            EXPECT_EQ(kind(d + t.name), before);
            EXPECT_TRUE(out.empty());
        }
    }
    EXPECT_EQ(kind("/dev/null"), "chr");
    ::close(sock);

    // A link to a regular file: the file it names is replaced, the link stays.
    ASSERT_EQ(::mkdir((d + "real").c_str(), 0755), 0);
    {
        std::FILE* f = std::fopen((d + "real/kept.bkp").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("old", f);
        std::fclose(f);
    }
    fs::create_symlink(d + "real/kept.bkp", d + "link.bkp");
    fs::create_symlink(d + "link.bkp", d + "link2.bkp");   // through two links
    ASSERT_EQ(run({"backup", d + "link2.bkp"}), 0) << err;
    EXPECT_EQ(kind(d + "link.bkp"), "link");
    EXPECT_EQ(kind(d + "link2.bkp"), "link");
    EXPECT_EQ(kind(d + "real/kept.bkp"), "file 1504");
    const FileRead kept = read_file_limited(d + "real/kept.bkp", kDataFileLimit);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.bytes, memory_image());

    // "-": standard output, nothing on disk.
    ASSERT_EQ(run({"backup", "-"}), 0) << err;
    EXPECT_EQ(bytes, memory_image());
    EXPECT_EQ(kind("-"), "missing");
    ASSERT_EQ(run({"globals", "save", "-"}), 0) << err;
    EXPECT_EQ(bytes, std::vector<uint8_t>(pedal.memory().globals.begin(), pedal.memory().globals.end()));
    ASSERT_EQ(run({"read", "5", "-"}), 0) << err;
    const std::string name = "Slot 5\n";
    ASSERT_EQ(bytes.size(), name.size() + kPresetRecordSize);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::ptrdiff_t(name.size())), name);
    EXPECT_EQ(0, std::memcmp(bytes.data() + name.size(), pedal.memory().slots[4].parameters.data(),
                             kPresetParametersSize));
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

TEST_F(CliFilesTest, AStoreWhoseHeaderWasSpoiledOnTheWayIsRetriedAndNeverReportedAsStored)
{
    PresetRecord record{pedal.memory().slots[2].parameters, make_title("Spoil test")};
    const std::string file = drive + "/spoil.lop";
    write_bytes(file, encode_preset_file("spoil", record));

    // Once: the read-back differs, the one retry stores it right.
    pedal.spoil_next_headers(1);
    ASSERT_EQ(run({"write", "--yes", "6", file}), 0) << err;
    EXPECT_EQ(out, "Stored " + file + " in slot 6\n");
    EXPECT_EQ(0, std::memcmp(pedal.memory().slots[5].parameters.data(), record.parameters.data(),
                             kPresetParametersSize));
    EXPECT_EQ(title_text(pedal.memory().slots[5].title), "Spoil test");

    // Every time: a failure, never "Stored".
    record.title = make_title("Spoil again");
    write_bytes(file, encode_preset_file("spoil", record));
    pedal.spoil_next_headers(1000);
    EXPECT_EQ(run({"write", "--yes", "6", file}), 1);
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_NE(err.find("storing slot 6 failed: the preset read back differs from " + file), std::string::npos) << err;
    pedal.spoil_next_headers(0);
}

TEST_F(CliFilesTest, AFileThatCannotBeWrittenGivesTheSystemsReasonFirst)
{
    // A folder that is not there is found before the pedal is asked.
    const std::string path = drive + "/missing/x.bkp";
    EXPECT_EQ(run({"backup", path}), 2);
    EXPECT_NE(err.find("korvane backup: cannot write " + path + ": there is no folder " + drive + "/missing."),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("Connecting"), std::string::npos) << err;
    // One the system refuses (a file where a folder should be) after it.
    write_bytes(drive + "/plain", {});
    const std::string inside = drive + "/plain/x.bkp";
    EXPECT_EQ(run({"backup", inside}), 2);
    EXPECT_NE(err.find("cannot write " + inside), std::string::npos) << err;
    EXPECT_EQ(err.find("memory"), std::string::npos) << err;
    EXPECT_EQ(err.find("rebooting"), std::string::npos) << err;
}

TEST_F(CliFilesTest, LeftoversOfKilledRunsAreRemovedAtStartAndNothingElse)
{
    const std::string presets = ensure_data_folder(drive);
    const std::string backups = presets + "autobackup/";
    ASSERT_EQ(::mkdir(backups.c_str(), 0755), 0);
    const std::string stamp = "Tessivar_AutoBackup_000003_2026-12-07_10-48-05";
    struct Leftover {
        std::string path;
        bool old;    // written more than an hour ago
        bool gone;   // what the start must do
    };
    const std::vector<Leftover> files = {
        {presets + ".Tessivar_Backup_03-07-2025.bkp.Ab12Cd", true, true},
        {presets + ".presets.lst.XYZ123", true, true},
        {presets + ".Warm Vibe.lop.k9LmN0", true, true},
        {presets + ".Warm Vibe.lop.abcdef", false, false},   // a program writing right now
        {presets + ".hidden.txt.abcdef", true, false},       // not a file of ours
        {presets + ".Warm Vibe.lop.abc", true, false},       // not a temporary name
        {presets + "Warm Vibe.lop", true, false},
        {backups + "." + stamp + ".globals.q1w2e3", true, true},
        {backups + "." + stamp + ".bkp.Q1W2E3", true, true},
        {backups + stamp + ".globals", true, true},                                        // its .bkp is gone
        {backups + "Tessivar_AutoBackup_000004_2026-12-07_10-49-05.globals", false, false},   // being written
        {backups + "Tessivar_AutoBackup_000005_2026-12-07_10-50-05.globals", true, false},
        {backups + "Tessivar_AutoBackup_000005_2026-12-07_10-50-05.bkp", true, false},
        {backups + "Tessivar_AutoBackup_mine.globals", true, false},   // a user's own
        {backups + "notes.globals", true, false},
    };
    const std::time_t two_hours_ago = std::time(nullptr) - 7200;
    for (const Leftover& f : files) {
        write_bytes(f.path, {1, 2, 3});
        if (f.old) {
            const timeval times[2] = {{two_hours_ago, 0}, {two_hours_ago, 0}};
            ASSERT_EQ(::utimes(f.path.c_str(), times), 0);
        }
    }
    EXPECT_EQ(run({"list"}), 0) << err;
    for (const Leftover& f : files) EXPECT_EQ(fs::exists(f.path), !f.gone) << f.path;
}

// A user without a home folder (HOME unset, no password entry): nothing is
// made in the working directory or under "/", and the user is told why.
TEST_F(CliFilesTest, WithoutAHomeFolderNothingIsCreatedAnywhere)
{
    if (::getuid() != 0) GTEST_SKIP() << "needs to become a user without a password entry";
    const std::string work = drive + "/work";
    ASSERT_EQ(::mkdir(work.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(work.c_str(), 0777), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A uid no password entry has.
        uid_t nobody = 54321;
        while (::getpwuid(nobody)) ++nobody;
        if (::chdir(work.c_str()) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(10);
        unsetenv("HOMEDRIVE");
        unsetenv("HOME");
        if (home_folder() || !home_drive().empty() || !ensure_data_folder(home_drive()).empty()) ::_exit(11);
        if (run({"backup"}) != 2) ::_exit(12);
        if (err.find("There is no home folder: HOME is not set") == std::string::npos) ::_exit(13);
        if (run({"restore", "--yes", "/nothing.bkp"}) != 2) ::_exit(14);   // refused before any folder is made
        setenv("HOME", "", 1);
        if (home_folder() || run({"swap", "--yes", "1", "2"}) != 1) ::_exit(15);
        if (err.find("There is no home folder") == std::string::npos || stored_any()) ::_exit(16);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Nothing was made in the working directory, nor under "/".
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_FALSE(fs::exists("/Brakwell"));
    EXPECT_FALSE(fs::exists("/Documents"));
}

TEST(RecordCheck, RecordsTheEditorMakesPassAndBrokenOnesNameTheirFirstProblem)
{
    const PedalMemory factory = factory_memory(std::string(KV_SOURCE_DIR) + "/bin");
    for (int s = 0; s < kSlotCount; ++s) {
        const PresetRecord r{factory.slots[size_t(s)].parameters, factory.slots[size_t(s)].title};
        EXPECT_EQ(record_problem(r), "") << "factory preset " << s + 1;
    }
    EXPECT_EQ(record_problem(PresetRecord{default_parameters(), make_title("Fresh")}), "");
    // A zeroed record (NUL title) is fine too: a blank pedal backs up that way.
    EXPECT_EQ(record_problem(PresetRecord{}), "");

    struct Broken {
        std::function<void(PresetRecord&)> spoil;
        std::string problem;
    };
    const std::vector<Broken> table = {
        {[](PresetRecord& r) { r.parameters.algorithm_x = 38; }, "DSP-X algorithm code 38 is not an algorithm (0 to 37)"},
        {[](PresetRecord& r) { r.parameters.algorithm_y = 255; }, "DSP-Y algorithm code 255 is not an algorithm (0 to 37)"},
        {[](PresetRecord& r) { r.parameters.set_routing(uint8_t(3)); }, "the routing code 3 is none of Cascade, Mixture and LR-split"},
        {[](PresetRecord& r) { r.parameters.speed_y[1] = 0x08; }, "DSP-Y speed uses reserved bits (2048 is above 2047)"},
        {[](PresetRecord& r) { r.title.text[3] = '\n'; }, "the title holds the unprintable byte 0x0A"},
        {[](PresetRecord& r) { r.title.text[11] = char(0xE9); }, "the title holds the unprintable byte 0xE9"},
        {[](PresetRecord& r) { r.title.text[0] = '\0'; }, "the title holds the unprintable byte 0x00"},
    };
    for (const Broken& b : table) {
        PresetRecord r{default_parameters(), make_title("Broken")};
        b.spoil(r);
        EXPECT_EQ(record_problem(r), b.problem);
    }
    // An option code beyond its algorithm's list.
    PresetRecord r{default_parameters(), make_title("Options")};
    bool found = false;
    for (int sp = 0; sp < 3 && !found; ++sp) {
        if (sp_hidden(r.parameters.algorithm_x, sp)) continue;
        r.parameters.set_sp(Engine::X, sp, 200);
        EXPECT_EQ(record_problem(r).find("DSP-X secondary parameter " + std::to_string(sp + 1) + " code 200 is not an option"),
                  0u)
            << record_problem(r);
        found = true;
    }
    EXPECT_TRUE(found);
}

TEST_F(CliFilesTest, FilesOfRandomBytesAreRefusedUnlessForced)
{
    std::vector<uint8_t> noise(kPresetImageSize);
    uint32_t seed = 12345;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 16);
    }
    const std::string bkp = drive + "/noise.bkp";
    write_bytes(bkp, noise);
    const PedalMemory before = pedal.memory();
    EXPECT_EQ(run({"restore", "--yes", bkp}), 2);
    EXPECT_TRUE(requests.empty());
    EXPECT_NE(err.find("korvane restore: " + bkp + ": preset 1: "), std::string::npos) << err;
    EXPECT_NE(err.find("give --force to store the presets as they are"), std::string::npos) << err;
    EXPECT_TRUE(pedal.memory() == before);

    std::vector<uint8_t> lop = {'n', 'o', 'i', 's', 'e', '\n'};
    lop.insert(lop.end(), noise.begin(), noise.begin() + kPresetRecordSize);
    const std::string file = drive + "/noise.lop";
    write_bytes(file, lop);
    EXPECT_EQ(run({"write", "--yes", "4", file}), 2);
    EXPECT_TRUE(requests.empty());
    EXPECT_NE(err.find("korvane write: " + file + ": "), std::string::npos) << err;
    EXPECT_TRUE(pedal.memory() == before);

    // --force stores them as they are.
    ASSERT_EQ(run({"write", "--yes", "--force", "4", file}), 0) << err;
    EXPECT_EQ(0, std::memcmp(pedal.memory().slots[3].parameters.data(), noise.data(), kPresetParametersSize));
    ASSERT_EQ(run({"restore", "--yes", "--force", "--no-backup", bkp}), 0) << err;
    EXPECT_EQ(memory_image(), noise);
}

} // namespace
} // namespace kv
