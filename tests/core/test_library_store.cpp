// The library's transaction (library/core/LibraryStore.h): every change reads
// the folder as it is now, so a second program's work is never written over
// from an old copy; a refused change writes nothing; import never writes over
// a preset file it did not write; and what library.json holds that this
// version does not know, or cannot take, is kept or refused with a word,
// never dropped. Damaged and hostile files (100,000 nested brackets) are
// refused with a message. Races between real processes are in
// tests/e2e/library_races.sh.

#include "library/core/LibraryStore.h"
#include "library/core/SharingFormat.h"
#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"
#include "platform/SafeFile.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kv {
namespace {

namespace fs = std::filesystem;

void write_text(const std::string& path, std::string_view text)
{
    ASSERT_TRUE(write_file_atomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}).ok());
}

std::string read_text(const std::string& path) { return std::string(read_file_limited(path, 1u << 26).text()); }

SharedPreset shared(const std::string& name)
{
    SharedPreset p;
    p.name = name;
    p.record.title = make_title("Title");
    return p;
}

// A library of the given presets, stored through the transaction.
void stock(LibraryStore& store, const std::vector<std::string>& names)
{
    std::vector<SharedPreset> presets;
    for (const std::string& n : names) presets.push_back(shared(n));
    const LibraryResult r = store.change([&](Library& l) { import_into_library(presets, l.presets, l.meta, "now"); });
    ASSERT_TRUE(r.ok()) << r.message;
}

class LibraryStoreTest : public ::testing::Test {
protected:
    test::ScratchFolder scratch_{"kv_store_"};
    std::string folder_ = scratch_.path() + "/";
    LibraryStore store_{folder_};
};

TEST_F(LibraryStoreTest, EachChangeReadsTheFolderAsItIsNowAndAnnounces)
{
    stock(store_, {"Big Chorus", "Slow Phase"});
    // Two programs, each with its own store: neither writes from a copy.
    LibraryStore other(folder_);
    int announced = 0;
    store_.on_changed = [&] { ++announced; };
    ASSERT_TRUE(store_.change([](Library& l) { l.meta.add_tags("Big Chorus", {"live"}); }).ok());
    ASSERT_TRUE(other.change([](Library& l) { l.meta.set_notes("Slow Phase", "verse"); }).ok());
    ASSERT_TRUE(other.change([&](Library& l) {
        import_into_library({shared("Third")}, l.presets, l.meta, "now");
    }).ok());
    ASSERT_TRUE(store_.change([](Library& l) { l.meta.set_favourite("Third", true); }).ok());
    EXPECT_EQ(announced, 2);

    const LibraryResult r = store_.read([](const Library& l) {
        ASSERT_EQ(l.presets.size(), 3u);
        EXPECT_EQ(l.meta.find("Big Chorus")->tags, std::vector<std::string>{"live"});
        EXPECT_EQ(l.meta.find("Slow Phase")->notes, "verse");
        EXPECT_TRUE(l.meta.find("Third")->favourite);
    });
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_TRUE(fs::is_regular_file(store_.lock_path()));

    // A refused change writes nothing, also not the preset files it made.
    const std::string list_before = read_text(folder_ + kPresetListFileName);
    const LibraryResult refused = store_.change([](Library& l) {
        import_into_library({shared("Fourth")}, l.presets, l.meta, "now");
        l.refuse("no, thanks");
    });
    EXPECT_EQ(refused.error, LibraryError::Refused);
    EXPECT_EQ(refused.message, "no, thanks");
    EXPECT_TRUE(refused.bad_input());
    EXPECT_EQ(read_text(folder_ + kPresetListFileName), list_before);
    EXPECT_FALSE(fs::exists(folder_ + "Fourth.lop"));
    EXPECT_EQ(announced, 2);
}

TEST_F(LibraryStoreTest, ImportNeverWritesOverAFileItDidNotWriteNorReplacesAName)
{
    // A preset file nobody lists (what a killed import leaves) and a listed one.
    stock(store_, {"Listed"});
    const std::string stray = folder_ + "Big Chorus.lop";
    write_text(stray, "Big Chorus\nSTRAY");
    const std::string listed_before = read_text(folder_ + "Listed.lop");

    std::vector<LibraryImport> runs(2);
    for (LibraryImport& run : runs)
        ASSERT_TRUE(store_.change([&](Library& l) {
            run = import_into_library({shared("Big Chorus"), shared("listed")}, l.presets, l.meta, "now");
        }).ok());
    EXPECT_EQ(read_text(stray), "Big Chorus\nSTRAY");
    EXPECT_EQ(read_text(folder_ + "Listed.lop"), listed_before);
    EXPECT_EQ(runs[0].imported[0].name, "Big Chorus (2)");
    EXPECT_EQ(runs[0].imported[1].name, "listed (2)");
    EXPECT_EQ(runs[1].imported[0].name, "Big Chorus (3)");
    EXPECT_EQ(runs[1].imported[1].name, "listed (3)");
    store_.read([](const Library& l) { EXPECT_EQ(l.presets.size(), 5u); });
}

// Tags, notes and favourites: what is accepted, what is refused with the
// reason, from the command line's checks and from a shared file alike.
TEST(LibraryInput, TagsAndNotesAreRefusedWithTheReasonNeverCut)
{
    struct Row {
        std::string tag;
        bool accepted;
        std::string reason_has;
    };
    std::string umlauts;
    for (int i = 0; i < 21; ++i) umlauts += "\xC3\xA4";
    const std::vector<Row> rows = {
        {"live", true, ""},
        {umlauts, true, ""},                                  // 21 characters, 42 bytes
        {std::string(40, 'a'), true, ""},
        {" padded ", true, ""},
        {std::string(41, 'a'), false, "41 characters"},
        {"a,b", false, "comma"},
        {"two\nlines", false, "line break"},
        {"tab\there", false, "control"},
        {"   ", false, "empty"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tag);
        const std::string why = tag_problem(row.tag);
        EXPECT_EQ(why.empty(), row.accepted) << why;
        if (!row.accepted) { EXPECT_NE(why.find(row.reason_has), std::string::npos) << why; }
    }
    EXPECT_EQ(notes_problem(std::string(4000, 'n')), "");
    EXPECT_NE(notes_problem(std::string(4001, 'n')).find("4001 characters"), std::string::npos);

    // The same rules on import: the preset is refused, named, with the reason.
    const std::string record = std::string(94, '0');
    struct FileRow {
        std::string fields;
        std::string reason_has;
    };
    const std::vector<FileRow> file_rows = {
        {R"("tags": [3])", "tag 1 is not a text"},
        {R"("tags": ["ok", "a,b"])", "comma"},
        {R"("tags": ")" + std::string(41, 't') + R"("])", "41 characters"},
        {R"("tags": "live")", "not a list"},
        {R"("favourite": "yes")", "not true or false"},
        {R"("notes": ")" + std::string(4001, 'n') + R"(")", "4001 characters"},
        {R"("notes": 7)", "not a text"},
    };
    for (const FileRow& row : file_rows) {
        SCOPED_TRACE(row.fields);
        std::string fields = row.fields;
        if (fields.find("\"tags\": \"t") != std::string::npos) fields = R"("tags": [")" + std::string(41, 't') + R"("])";
        const std::string text = R"({"format": "tessivar-presets", "version": 1, "presets": [{"name": "P", "record": ")" +
                                 record + R"(", )" + fields + "}]}";
        const SharingImport r = decode_sharing_file(text);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.presets.empty());
        ASSERT_EQ(r.refused.size(), 1u);
        EXPECT_NE(r.refused[0].find(row.reason_has), std::string::npos) << r.refused[0];
    }
}

TEST_F(LibraryStoreTest, WhatThisVersionDoesNotKnowIsKeptAndANewerFileIsNotRewritten)
{
    stock(store_, {"Clean", "clean (2)"});
    const std::string meta = folder_ + kLibraryMetaFileName;
    // A newer minor version's fields, two keys differing only in case, and
    // a name that is not UTF-8 (a file from a Latin-1 system).
    const std::string latin1 = "Caf\xE9";
    write_text(meta, R"({"format": "korvane-library", "version": 1, "minor": 4, "colour_scheme": {"a": [1, 2]},
        "presets": {"Clean": {"tags": ["a"], "favourite": false, "rating": 5},
                    "clean": {"tags": ["b"], "favourite": true}}})");
    ASSERT_TRUE(store_.change([&](Library& l) {
        l.meta.add_tags("Clean", {"x"});
        l.meta.add_tags(latin1, {"latin"});
        l.meta.set_notes(latin1, "from far away");
    }).ok());
    const std::string written = read_text(meta);
    EXPECT_NE(written.find("\"minor\": 4"), std::string::npos) << written;
    EXPECT_NE(written.find("\"colour_scheme\""), std::string::npos) << written;
    EXPECT_NE(written.find("\"rating\": 5"), std::string::npos) << written;
    EXPECT_EQ(written.find("\xEF\xBF\xBD"), std::string::npos) << "no U+FFFD key";
    store_.read([&](const Library& l) {
        EXPECT_EQ(l.meta.find("Clean")->tags, (std::vector<std::string>{"a", "x"}));
        EXPECT_EQ(l.meta.find("clean")->tags, std::vector<std::string>{"b"});
        EXPECT_TRUE(l.meta.find("clean")->favourite);
        ASSERT_NE(l.meta.find(latin1), nullptr);
        EXPECT_EQ(l.meta.find(latin1)->tags, std::vector<std::string>{"latin"});
        EXPECT_EQ(l.meta.find(latin1)->notes, "from far away");
    });

    // A newer major version: read, but tags and notes are not changed.
    const std::string newer = R"({"format": "korvane-library", "version": 2, "presets": {"Clean": {"tags": ["n"]}}})";
    write_text(meta, newer);
    const LibraryResult looked = store_.read([](const Library& l) { EXPECT_EQ(l.meta.find("Clean")->tags[0], "n"); });
    EXPECT_TRUE(looked.ok());
    ASSERT_FALSE(looked.notices.empty());
    EXPECT_NE(looked.notices[0].find("newer version"), std::string::npos);
    const LibraryResult refused = store_.change([](Library& l) { l.meta.add_tags("Clean", {"y"}); });
    EXPECT_EQ(refused.error, LibraryError::MetaReadOnly);
    EXPECT_NE(refused.message.find("newer version of Korvane (format version 2)"), std::string::npos) << refused.message;
    EXPECT_EQ(read_text(meta), newer);
    // A change that leaves the metadata alone still goes through.
    EXPECT_TRUE(store_.change([](Library& l) { l.save_setlist({"Friday", {"Clean"}}); }).ok());
}

// Damaged and hostile files: each refused with a message, never a crash,
// and a damaged library.json kept aside with the change refused (exit 2).
TEST_F(LibraryStoreTest, DamagedAndDeeplyNestedFilesAreRefusedWithAMessage)
{
    stock(store_, {"Clean"});
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    struct Row {
        std::string what;
        std::string text;
        std::string says;
    };
    const std::vector<Row> rows = {
        {"not JSON", "{truncated", "it is not JSON"},
        {"deep", R"({"format": "korvane-library", "version": 1, "presets": {"Clean": {"x": )" + deep + "}}}", "nests deeper"},
        {"wrong shape", R"({"format": "korvane-library", "presets": {"Clean": {"tags": 3}}})", "is damaged"},
        {"deep string is fine", R"({"format": "korvane-library", "presets": {"Clean": {"notes": ")" + std::string(3000, '[') + R"("}}})", ""},
    };
    int aside = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        write_text(folder_ + kLibraryMetaFileName, row.text);
        const LibraryResult r = store_.change([](Library& l) { l.meta.set_favourite("Clean", true); });
        if (row.says.empty()) {
            EXPECT_TRUE(r.ok()) << r.message;
            continue;
        }
        EXPECT_EQ(r.error, LibraryError::MetaDamaged);
        EXPECT_TRUE(r.bad_input());
        EXPECT_NE(r.message.find(row.says), std::string::npos) << r.message;
        EXPECT_NE(r.message.find("library.damaged-" + std::to_string(++aside) + ".json"), std::string::npos) << r.message;
        EXPECT_FALSE(fs::exists(folder_ + kLibraryMetaFileName));
    }

    const std::string deep_sharing = R"({"format": "tessivar-presets", "version": 1, "presets": [{"name": "X", "record": ")" +
                                     std::string(94, '0') + R"(", "decoded": )" + deep + "}]}";
    const SharingImport s = decode_sharing_file(deep_sharing);
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.error.find("nests deeper than 32 levels"), std::string::npos) << s.error;
    EXPECT_FALSE(json_nests_deeper_than(R"({"a": "[[[[[[\"[[[["})", 2));
    EXPECT_TRUE(json_nests_deeper_than("[[[", 2));

    fs::create_directories(setlist_folder(folder_));
    write_text(setlist_folder(folder_) + "Deep.json", R"({"format": "korvane-setlist", "presets": )" + deep + "}");
    const SetlistRead sl = read_setlist(folder_, "Deep");
    EXPECT_FALSE(sl.setlist);
    EXPECT_NE(sl.error.find("nests deeper"), std::string::npos) << sl.error;
}

TEST(FolderLock, ALockFileThatIsNotAFileIsRefusedAndALockIsLetGo)
{
    const test::ScratchFolder scratch{"kv_lock_"};
    const std::string path = scratch.path() + "/.korvane.lock";
    fs::create_directory(path);
    const FolderLock refused = FolderLock::take(path, LockMode::Exclusive);
    EXPECT_FALSE(refused.held());
    EXPECT_NE(refused.message().find("cannot lock " + path), std::string::npos) << refused.message();
    fs::remove(path);
    {
        const FolderLock a = FolderLock::take(path, LockMode::Shared);
        const FolderLock b = FolderLock::take(path, LockMode::Shared);   // readers share
        EXPECT_TRUE(a.held() && b.held());
    }
    FolderLock c = FolderLock::take(path, LockMode::Exclusive);   // would wait for ever if one were still held
    EXPECT_TRUE(c.held());
    c.release();
    EXPECT_FALSE(c.held());
}

}  // namespace
}  // namespace kv
