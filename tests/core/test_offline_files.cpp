// The preset library's files on disk: the write-beside-and-rename helper, the
// offline preset file, the list of offline presets and backup files, with
// good, malformed and hostile files, and writes that fail half way.
#include "library/core/BackupFile.h"
#include "library/core/OfflinePresets.h"
#include "platform/AtomicFile.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.ok()); }

    static Bytes slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void put(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static void put(const std::string& path, const Bytes& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // Every name in the folder (temporary files included).
    std::vector<std::string> folder_names() const
    {
        std::vector<std::string> out;
        DIR* d = opendir(dir_.c_str());
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        closedir(d);
        std::sort(out.begin(), out.end());
        return out;
    }
    static PresetRecord record_with(uint8_t seed, const char* title)
    {
        PresetRecord r{};
        for (size_t i = 0; i < kPresetParametersSize; ++i) r.parameters.data()[i] = uint8_t(seed + i);
        r.title = make_title(title);
        return r;
    }

    test::ScratchFolder scratch_{"korvane_files_"};
    std::string dir_ = scratch_.path() + "/";
};

// Writes of at most `bytes` bytes per file for the life of the object (the
// SIGXFSZ signal ignored, so a write past it fails with EFBIG instead).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = old_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }

private:
    rlimit old_{};
    void (*old_handler_)(int) = nullptr;
};

// --- writing beside the target ---------------------------------------------------

TEST_F(FilesTest, AtomicWriteReplacesWholeOrLeavesTheOldFileAndNoTemporary)
{
    const std::string path = dir_ + "target.bin";
    put(path, std::string("old content"));

    // A complete write replaces the file.
    const Bytes fresh(3000, 0x5A);
    ASSERT_TRUE(write_file_atomically(path, fresh));
    EXPECT_EQ(slurp(path), fresh);
    EXPECT_EQ(folder_names(), std::vector<std::string>{"target.bin"});

    // A write that runs out of room half way reports it and keeps the old content.
    {
        FileSizeLimit limit(1000);
        const WriteResult r = write_file_atomically(path, Bytes(5000, 0x11));
        EXPECT_FALSE(r);
        EXPECT_NE(r.message().find("cannot write " + path), std::string::npos) << r.message();
    }
    EXPECT_EQ(slurp(path), fresh);
    EXPECT_EQ(folder_names(), std::vector<std::string>{"target.bin"});

    // A writer that gives up (or is destroyed without committing) changes nothing.
    {
        AtomicFile out(path);
        ASSERT_TRUE(out.is_open());
        out.write("half", 4);
        out.abandon();
        EXPECT_FALSE(out.commit());
    }
    {
        AtomicFile out(path);
        out.write("half", 4);
    }
    EXPECT_EQ(slurp(path), fresh);
    EXPECT_EQ(folder_names(), std::vector<std::string>{"target.bin"});

    // A folder that is not there: nothing to create, reported.
    EXPECT_FALSE(write_file_atomically(dir_ + "missing/x.bin", fresh));
    // A target that is not a regular file (a folder): refused before anything
    // is created, the folder kept.
    mkdir((dir_ + "folder.bin").c_str(), 0755);
    const WriteResult into_folder = write_file_atomically(dir_ + "folder.bin", fresh);
    EXPECT_EQ(into_folder.failed, WriteResult::Step::Target);
    EXPECT_EQ(into_folder.message(),
              "cannot write " + dir_ + "folder.bin: it is a folder, not a regular file; nothing was written");
    struct stat st {};
    EXPECT_EQ(stat((dir_ + "folder.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(folder_names(), (std::vector<std::string>{"folder.bin", "target.bin"}));
}

// --- names and the preset file ---------------------------------------------------------

TEST_F(FilesTest, NamesAreCleanedAndNamesThatCannotBeFileNamesAreRefused)
{
    EXPECT_EQ(clean_preset_name("Lead/Solo & Co"), "Lead-Solo n Co");
    EXPECT_EQ(clean_preset_name("a@b|c\\d"), "a-b-c-d");
    EXPECT_EQ(check_preset_name("Lead-Solo n Co"), NameProblem::NoProblem);
    EXPECT_EQ(check_preset_name(std::string(38, 'x')), NameProblem::NoProblem);

    EXPECT_EQ(check_preset_name(""), NameProblem::Empty);
    EXPECT_EQ(check_preset_name("."), NameProblem::DotName);
    EXPECT_EQ(check_preset_name(".."), NameProblem::DotName);
    EXPECT_EQ(check_preset_name(std::string(39, 'x')), NameProblem::TooLong);
    EXPECT_EQ(check_preset_name("a\nb"), NameProblem::ControlCharacter);
    EXPECT_EQ(check_preset_name("tab\there"), NameProblem::ControlCharacter);
    EXPECT_EQ(check_preset_name("../../etc/x"), NameProblem::Separator);
    // Cleaning takes the separators out, so a path cannot survive it.
    EXPECT_EQ(check_preset_name(clean_preset_name("../../etc/x")), NameProblem::NoProblem);
    EXPECT_EQ(clean_preset_name("../../etc/x"), "..-..-etc-x");
    for (auto p : {NameProblem::Empty, NameProblem::DotName, NameProblem::TooLong, NameProblem::ControlCharacter,
                   NameProblem::Separator})
        EXPECT_FALSE(name_problem_text(p).empty());

    EXPECT_TRUE(same_preset_name("Clean", "clean"));
    EXPECT_FALSE(same_preset_name("Clean", "Cleans"));
}

TEST_F(FilesTest, PresetFileIsNameNewlineParametersTitleAndMalformedFilesAreRefused)
{
    const PresetRecord rec = record_with(1, "Sweet");
    const Bytes abc = encode_preset_file("abc", rec);
    ASSERT_EQ(abc.size(), 51u);
    EXPECT_EQ(Bytes(abc.begin(), abc.begin() + 4), (Bytes{'a', 'b', 'c', '\n'}));
    EXPECT_EQ(0, std::memcmp(abc.data() + 4, rec.data(), kPresetRecordSize));

    const PresetFile back = decode_preset_file(abc);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.name, "abc");
    EXPECT_EQ(0, std::memcmp(back.record.data(), rec.data(), kPresetRecordSize));

    // Bytes after the title are ignored.
    Bytes longer = abc;
    longer.push_back(0xFF);
    EXPECT_TRUE(decode_preset_file(longer).ok());

    // One byte short of the title.
    const Bytes short_one(abc.begin(), abc.end() - 1);
    EXPECT_EQ(decode_preset_file(short_one).problem, PresetFileProblem::TooShort);
    // No newline at all, in a small and in a big file.
    EXPECT_EQ(decode_preset_file(Bytes{'a', 'b', 'c'}).problem, PresetFileProblem::NoNameLine);
    EXPECT_EQ(decode_preset_file(Bytes(200, 'x')).problem, PresetFileProblem::NameTooLong);
    // A name line of 39 characters; of 38 it is fine.
    EXPECT_EQ(decode_preset_file(encode_preset_file(std::string(39, 'n'), rec)).problem, PresetFileProblem::NameTooLong);
    EXPECT_TRUE(decode_preset_file(encode_preset_file(std::string(38, 'n'), rec)).ok());
    // An empty name line.
    EXPECT_EQ(decode_preset_file(encode_preset_file("", rec)).problem, PresetFileProblem::EmptyName);
    EXPECT_EQ(decode_preset_file(Bytes{}).problem, PresetFileProblem::NoNameLine);

    // From disk: a FIFO is refused without blocking, as is a missing file.
    mkfifo((dir_ + "pipe.lop").c_str(), 0644);
    EXPECT_EQ(read_preset_file(dir_ + "pipe.lop").problem, PresetFileProblem::Unreadable);
    EXPECT_EQ(read_preset_file(dir_ + "none.lop").problem, PresetFileProblem::Unreadable);
    EXPECT_EQ(read_preset_file("/dev/zero").problem, PresetFileProblem::Unreadable);
    put(dir_ + "big.lop", Bytes(kPresetFileReadLimit + 1, 'x'));
    EXPECT_EQ(read_preset_file(dir_ + "big.lop").problem, PresetFileProblem::Unreadable);
    put(dir_ + "abc.lop", abc);
    EXPECT_TRUE(read_preset_file(dir_ + "abc.lop").ok());
    EXPECT_FALSE(preset_file_problem_text(decode_preset_file(short_one), "x.lop").empty());
}

// --- the list ----------------------------------------------------------------------

TEST_F(FilesTest, StoringReplacingAndRemovingKeepFilesAndListTogether)
{
    OfflineLibrary lib(dir_);
    EXPECT_TRUE(lib.load().empty());   // no list yet: empty, quiet
    const PresetRecord a = record_with(10, "A");
    const PresetRecord b = record_with(20, "B");

    ASSERT_TRUE(lib.store("Clean", encode_preset_file("Clean", a)).ok);
    ASSERT_TRUE(lib.store("Lead", encode_preset_file("Lead", b)).ok);
    const std::string expected = dir_ + "Clean.lop\n" + dir_ + "Lead.lop\n";
    EXPECT_EQ(slurp(lib.list_path()), Bytes(expected.begin(), expected.end()));

    // "clean" replaces "Clean": the new file is written, then the old one goes,
    // and the new item is the last.
    const auto match = lib.find("clean");
    ASSERT_EQ(match, std::optional<size_t>(0));
    const OfflineLibrary::Change replaced = lib.store("clean", encode_preset_file("clean", b), match);
    ASSERT_TRUE(replaced.ok);
    EXPECT_TRUE(replaced.warning.empty()) << replaced.warning;
    ASSERT_EQ(lib.size(), 2u);
    EXPECT_EQ(lib.entries()[0].name, "Lead");
    EXPECT_EQ(lib.entries()[1].name, "clean");
    EXPECT_FALSE(std::ifstream(dir_ + "Clean.lop").good());
    EXPECT_EQ(slurp(dir_ + "clean.lop"), encode_preset_file("clean", b));

    // Replacing a preset by one of exactly its name keeps the new file.
    ASSERT_TRUE(lib.store("Lead", encode_preset_file("Lead", a), lib.find("Lead")).ok);
    EXPECT_EQ(slurp(dir_ + "Lead.lop"), encode_preset_file("Lead", a));
    ASSERT_EQ(lib.size(), 2u);
    EXPECT_EQ(lib.entries()[1].name, "Lead");

    // The list reads back the same.
    OfflineLibrary again(dir_);
    again.load();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again.entries()[0].name, "clean");
    EXPECT_EQ(again.entries()[1].name, "Lead");

    // A store that cannot write its file changes nothing: no item, same list,
    // the replaced preset still there.
    const Bytes list_before = slurp(lib.list_path());
    mkdir((dir_ + "Blocked.lop").c_str(), 0755);
    const OfflineLibrary::Change failed = lib.store("Blocked", encode_preset_file("Blocked", a), lib.find("Lead"));
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.error.find("Blocked.lop"), std::string::npos);
    EXPECT_EQ(lib.size(), 2u);
    EXPECT_EQ(slurp(lib.list_path()), list_before);
    EXPECT_EQ(slurp(dir_ + "Lead.lop"), encode_preset_file("Lead", a));
    {
        FileSizeLimit limit(20);
        EXPECT_FALSE(lib.store("Huge", encode_preset_file("Huge", a)).ok);
    }
    EXPECT_EQ(lib.size(), 2u);
    EXPECT_FALSE(std::ifstream(dir_ + "Huge.lop").good());

    // Removing the last item, then the only one.
    ASSERT_TRUE(lib.remove(1).ok);
    EXPECT_FALSE(std::ifstream(dir_ + "Lead.lop").good());
    ASSERT_EQ(lib.size(), 1u);
    ASSERT_TRUE(lib.remove(0).ok);
    EXPECT_EQ(lib.size(), 0u);
    EXPECT_TRUE(slurp(lib.list_path()).empty());
    EXPECT_FALSE(lib.remove(0).ok);

    // A remove whose list cannot be rewritten keeps the file and the item.
    ASSERT_TRUE(lib.store("Keep", encode_preset_file("Keep", a)).ok);
    std::remove(lib.list_path().c_str());
    mkdir(lib.list_path().c_str(), 0755);
    const OfflineLibrary::Change kept = lib.remove(0);
    EXPECT_FALSE(kept.ok);
    EXPECT_EQ(lib.size(), 1u);
    EXPECT_TRUE(std::ifstream(dir_ + "Keep.lop").good());
}

TEST_F(FilesTest, LoadingTheListSkipsMissingAndHostileFilesAndKeepsTheirLines)
{
    put(dir_ + "Warm Vibe.lop", encode_preset_file("Warm Vibe", record_with(1, "W")));
    put(dir_ + "odd.lop", encode_preset_file(std::string(50, 'L'), record_with(2, "L")));
    mkfifo((dir_ + "pipe.lop").c_str(), 0644);
    put(dir_ + "presets.lst", dir_ + "Warm Vibe.lop\n" + dir_ + "gone.lop\n" + dir_ + "pipe.lop\n\n" + dir_ + "odd.lop\n");

    OfflineLibrary lib(dir_);
    const auto problems = lib.load();
    // A name line longer than 38 characters could not be loaded when
    // picked: it is not offered, and said once.
    ASSERT_EQ(lib.size(), 1u);
    EXPECT_EQ(lib.entries()[0].name, "Warm Vibe");
    ASSERT_EQ(problems.size(), 2u);   // the FIFO and the long name; the missing file is quiet
    EXPECT_NE(problems[0].find("pipe.lop"), std::string::npos);
    EXPECT_EQ(problems[1], "cannot list " + dir_ + "odd.lop: name line longer than 38 characters");

    // A later rewrite keeps the lines of files it could not read.
    ASSERT_TRUE(lib.store("New", encode_preset_file("New", record_with(3, "N"))).ok);
    const Bytes list = slurp(lib.list_path());
    const std::string text(list.begin(), list.end());
    EXPECT_NE(text.find(dir_ + "gone.lop\n"), std::string::npos);
    EXPECT_NE(text.find(dir_ + "pipe.lop\n"), std::string::npos);
    EXPECT_NE(text.find(dir_ + "New.lop\n"), std::string::npos);
}

TEST_F(FilesTest, ABigListLoadsWholeAndAListThatCannotBeReadIsNeverRewritten)
{
    // 100,000 entries with paths of a long home folder (about 200 bytes a
    // line, 20 MB): every line survives the next save.
    const std::string deep = dir_ + std::string(150, 'd') + "/";
    std::string text;
    for (int i = 0; i < 100000; ++i) text += deep + "Preset " + std::to_string(i) + ".lop\n";
    ASSERT_GT(text.size(), size_t(1) << 20);
    put(dir_ + "presets.lst", text);
    put(dir_ + "Real.lop", encode_preset_file("Real", record_with(1, "R")));
    {
        OfflineLibrary lib(dir_);
        EXPECT_TRUE(lib.load().empty());
        EXPECT_TRUE(lib.list_problem().empty());
        ASSERT_TRUE(lib.store("One more", encode_preset_file("One more", record_with(2, "O"))).ok);
        const Bytes list = slurp(lib.list_path());
        EXPECT_EQ(list.size(), text.size() + (dir_ + "One more.lop\n").size());
        EXPECT_EQ(std::string(list.begin(), list.begin() + std::ptrdiff_t(text.size())), text);
    }

    // A list over the limit (or a FIFO, or unreadable) loads as empty but
    // locked: no save, add or remove rewrites it.
    const std::string list_path = dir_ + "presets.lst";
    ASSERT_EQ(::truncate(list_path.c_str(), off_t(kPresetListReadLimit) + 1), 0);
    OfflineLibrary lib(dir_);
    const auto problems = lib.load();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(lib.list_problem(), problems[0]);
    EXPECT_NE(problems[0].find("larger than the limit"), std::string::npos) << problems[0];
    EXPECT_EQ(lib.size(), 0u);
    const OfflineLibrary::Change stored = lib.store("Lost", encode_preset_file("Lost", record_with(3, "L")));
    EXPECT_FALSE(stored.ok);
    EXPECT_NE(stored.error.find("could not be read, so it is not changed"), std::string::npos) << stored.error;
    EXPECT_FALSE(std::ifstream(dir_ + "Lost.lop").good());
    EXPECT_FALSE(lib.adopt("Real").ok);
    EXPECT_FALSE(lib.remove(0).ok);
    struct stat st {};
    ASSERT_EQ(::stat(list_path.c_str(), &st), 0);
    EXPECT_EQ(size_t(st.st_size), kPresetListReadLimit + 1);

    // Once the list is repaired, the next save reads it and keeps its entries.
    put(list_path, dir_ + "Real.lop\n");
    const OfflineLibrary::Change later = lib.store("Later", encode_preset_file("Later", record_with(4, "A")));
    ASSERT_TRUE(later.ok) << later.error;
    EXPECT_TRUE(lib.list_problem().empty());
    const Bytes list = slurp(list_path);
    EXPECT_EQ(std::string(list.begin(), list.end()), dir_ + "Real.lop\n" + dir_ + "Later.lop\n");
    ASSERT_EQ(lib.size(), 2u);
    EXPECT_EQ(lib.entries()[0].name, "Real");
}

// A list shared by someone else (or edited by hand) may name any file: taking
// its entry out, or replacing it, must never delete a file that is not one of
// this folder's preset files.
TEST_F(FilesTest, RemovingOrReplacingAnEntryDeletesOnlyThisFoldersPresetFiles)
{
    ASSERT_EQ(mkdir((dir_ + "elsewhere").c_str(), 0700), 0);
    const std::string thesis = dir_ + "elsewhere/thesis.txt";       // any text file with a first line
    const std::string notes = dir_ + "notes.txt";                    // in the folder, but not a preset file
    const std::string outside = dir_ + "elsewhere/Shared.lop";      // a preset file of another folder
    put(thesis, "Chapter one\nwhatever follows\n");
    put(notes, "Shopping\n");
    put(outside, encode_preset_file("Shared", record_with(4, "S")));
    put(dir_ + "Mine.lop", encode_preset_file("Mine", record_with(5, "M")));
    put(dir_ + "presets.lst", thesis + "\n" + notes + "\n" + outside + "\n" + dir_ + "Mine.lop\n");

    OfflineLibrary lib(dir_);
    lib.load();
    ASSERT_EQ(lib.size(), 4u);
    ASSERT_TRUE(lib.remove(0).ok);                                   // the thesis: out of the list only
    ASSERT_TRUE(lib.store("Notes again", encode_preset_file("Notes again", record_with(6, "N")), 0).ok);
    ASSERT_TRUE(lib.remove(*lib.find("Shared")).ok);
    ASSERT_TRUE(lib.remove(*lib.find("Mine")).ok);                   // ours: deleted
    EXPECT_EQ(slurp(thesis).size(), 29u);
    EXPECT_EQ(slurp(notes).size(), 9u);
    EXPECT_FALSE(slurp(outside).empty());
    EXPECT_TRUE(slurp(dir_ + "Mine.lop").empty());
    OfflineLibrary again(dir_);
    again.load();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.entries()[0].name, "Notes again");
}

// --- backups ------------------------------------------------------------------------

TEST_F(FilesTest, BackupFilesAreNamedByDateAndMustBeExactly1504Bytes)
{
    LocalTime d;
    d.year = 2025;
    d.month = 3;
    d.day = 7;
    d.hour = 9;
    d.minute = 5;
    d.second = 3;
    EXPECT_EQ(backup_file_name(d), "Tessivar_Backup_2025-03-07_09-05-03.bkp");
    // A name that is taken is never reused: the next free copy number follows.
    EXPECT_EQ(backup_file_path(dir_, d), dir_ + "Tessivar_Backup_2025-03-07_09-05-03.bkp");
    put(dir_ + "Tessivar_Backup_2025-03-07_09-05-03.bkp", Bytes(4));
    put(dir_ + "Tessivar_Backup_2025-03-07_09-05-03_2.bkp", Bytes(4));
    EXPECT_EQ(backup_file_path(dir_, d), dir_ + "Tessivar_Backup_2025-03-07_09-05-03_3.bkp");

    Bytes image(kBackupFileSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 13);
    put(dir_ + "good.bkp", image);
    const BackupFile good = read_backup_file(dir_ + "good.bkp");
    ASSERT_TRUE(good.ok());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), good.image.begin()));

    for (size_t size : {size_t(0), size_t(1503), size_t(1505), size_t(3008)}) {
        put(dir_ + "bad.bkp", Bytes(size, 1));
        const BackupFile bad = read_backup_file(dir_ + "bad.bkp");
        EXPECT_FALSE(bad.ok()) << size;
        EXPECT_EQ(bad.error, EINVAL) << size;
    }
    put(dir_ + "huge.bkp", Bytes(kBackupFileReadLimit + 10, 1));
    EXPECT_FALSE(read_backup_file(dir_ + "huge.bkp").ok());
    EXPECT_EQ(read_backup_file(dir_ + "none.bkp").error, ENOENT);
    mkfifo((dir_ + "pipe.bkp").c_str(), 0644);
    EXPECT_FALSE(read_backup_file(dir_ + "pipe.bkp").ok());
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// Every entry the list offers can be loaded, whatever the length of its
// file's name line; removing an entry writes the list from what is left.
TEST_F(FilesTest, EveryListedEntryLoadsAndRemoveDropsLinesOfVanishedFiles)
{
    struct Case {
        size_t name_length;
        bool listed;
    };
    const Case cases[] = {{1, true}, {37, true}, {38, true}, {39, false}, {60, false}};
    std::string list;
    for (const Case& c : cases) {
        const std::string file = dir_ + "n" + std::to_string(c.name_length) + ".lop";
        put(file, encode_preset_file(std::string(c.name_length, 'N'), record_with(uint8_t(c.name_length), "N")));
        list += file + "\n";
    }
    put(dir_ + "presets.lst", list);
    OfflineLibrary lib(dir_);
    const auto problems = lib.load();
    size_t listed = 0;
    for (const Case& c : cases) listed += c.listed ? 1 : 0;
    ASSERT_EQ(lib.size(), listed);
    EXPECT_EQ(problems.size(), std::size(cases) - listed);
    for (const auto& e : lib.entries()) {
        const PresetFile f = read_preset_file(e.path);
        EXPECT_TRUE(f.ok()) << e.path;
        EXPECT_EQ(f.name, e.name);
    }

    // A file deleted by hand: its line goes with the next Remove, as do the
    // lines of the names that could not be used; a file that is there but
    // cannot be read (a FIFO) keeps its line.
    ::unlink((dir_ + "n37.lop").c_str());
    mkfifo((dir_ + "pipe.lop").c_str(), 0644);
    put(dir_ + "presets.lst", list + dir_ + "pipe.lop\n");
    OfflineLibrary again(dir_);
    (void)again.load();
    ASSERT_EQ(again.size(), 2u);   // n1 and n38
    ASSERT_TRUE(again.remove(0).ok);
    const Bytes after = slurp(again.list_path());
    EXPECT_EQ(std::string(after.begin(), after.end()), dir_ + "n38.lop\n" + dir_ + "pipe.lop\n");
}

} // namespace
} // namespace kv
