// The librarian's cores: the .tessivar.json sharing format (round trip of
// the pedal's 32 presets, the documented example, the import rules), the
// metadata file beside the presets (kept aside when damaged), search and
// sort over thousands of presets, setlists, and the multi-slot operations
// (a move along the slots, a setlist sent with one store failing) against
// the simulated pedal on a hand-driven clock.

#include "library/core/LibraryMeta.h"
#include "library/core/LibrarySearch.h"
#include "library/core/OfflinePresets.h"
#include "library/core/SharingFormat.h"
#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/AutoBackup.h"
#include "ops/Backup.h"
#include "ops/SlotRun.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/Scales.h"
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string read_text(const std::string& path)
{
    const FileRead r = read_file_limited(path, 1u << 24);
    return r.ok() ? std::string(r.text()) : std::string();
}

void write_text(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(write_file_atomically(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()),
                                                                      text.size()))
                    .ok());
}

bool same(const PresetRecord& a, const PresetRecord& b) { return std::memcmp(a.data(), b.data(), kPresetRecordSize) == 0; }

std::vector<PresetRecord> factory_records()
{
    const PedalMemory m = factory_memory(std::string(KV_SOURCE_DIR) + "/bin");
    std::vector<PresetRecord> out;
    for (const PedalSlot& s : m.slots) out.push_back(PresetRecord{s.parameters, s.title});
    return out;
}

// --- the sharing format ---

TEST(SharingFormat, ThePedalsPresetsComeBackByteForByteAndTheDocumentedExampleImports)
{
    std::vector<SharedPreset> out;
    for (const PresetRecord& r : factory_records()) {
        SharedPreset p;
        p.name = title_text(r.title);
        p.record = r;
        p.tags = {"factory"};
        p.notes = "line one\nline \"two\"";
        out.push_back(p);
    }
    out[3].favourite = true;
    const SharingImport back = decode_sharing_file(encode_sharing_file(out));
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_TRUE(back.refused.empty()) << back.refused.front();
    ASSERT_EQ(back.presets.size(), out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(same(back.presets[i].record, out[i].record));
        EXPECT_EQ(back.presets[i].name, out[i].name);
        EXPECT_EQ(back.presets[i].notes, out[i].notes);
        EXPECT_EQ(back.presets[i].tags, out[i].tags);
        EXPECT_EQ(back.presets[i].favourite, i == 3);
    }

    // The example of docs/formats.md is the file beside it, and it imports.
    const std::string example = read_text(std::string(KV_SOURCE_DIR) + "/docs/example.tessivar.json");
    ASSERT_FALSE(example.empty());
    EXPECT_NE(read_text(std::string(KV_SOURCE_DIR) + "/docs/formats.md").find(example), std::string::npos);
    const SharingImport ex = decode_sharing_file(example);
    ASSERT_TRUE(ex.ok) << ex.error;
    EXPECT_TRUE(ex.refused.empty()) << ex.refused.front();
    ASSERT_EQ(ex.presets.size(), 2u);
    EXPECT_EQ(ex.presets[0].name, "Lush Chorus");
    EXPECT_TRUE(ex.presets[0].favourite);
    EXPECT_EQ(ex.presets[0].tags, (std::vector<std::string>{"clean", "live"}));
    EXPECT_EQ(title_text(ex.presets[1].record.title), "Jet Flanger");
    EXPECT_EQ(algorithm_code(ex.presets[1].record.parameters.algorithm_x), std::string("FLANGE"));
    // What the decoded text says is what the record holds.
    EXPECT_NE(example.find("\"depth_percent\": " + std::to_string(percent_text_value(ex.presets[0].record.parameters.depth_x))),
              std::string::npos);
}

TEST(SharingFormat, ImportRulesRefuseOnePresetWithItsReasonAndKeepTheOthers)
{
    const PresetRecord good = factory_records()[0];   // CHORUS / DIME.C, "Lush Chorus"
    const std::string hex = [&] {
        std::string h;
        char b[3];
        for (size_t i = 0; i < kPresetRecordSize; ++i) {
            std::snprintf(b, sizeof b, "%02x", good.data()[i]);
            h += b;
        }
        return h;
    }();
    std::string bad_hex = hex;
    bad_hex.replace(2 * 33, 2, "c8");

    struct Case {
        const char* what;
        std::string preset;      // one entry of "presets"
        std::string refused;     // part of the reason; empty: imported
    };
    const std::vector<Case> cases = {
        {"lower-case record only", "{\"record\": \"" + hex + "\"}", ""},
        {"a matching partial decoding and unknown fields",
         "{\"name\": \"A\", \"record\": \"" + hex + "\", \"colour\": 3, \"decoded\": {\"dsp_x\": {\"algorithm\": \"CHORUS\", \"x\": 1}}}", ""},
        {"no record", "{\"name\": \"B\", \"decoded\": {\"routing\": \"Cascade\"}}", "has no \"record\""},
        {"a short record", "{\"name\": \"C\", \"record\": \"" + hex.substr(2) + "\"}", "not 94 hexadecimal digits"},
        {"a record that is not hex", "{\"record\": \"" + std::string(94, 'g') + "\"}", "not 94 hexadecimal digits"},
        {"an edited algorithm", "{\"record\": \"" + hex + "\", \"decoded\": {\"dsp_x\": {\"algorithm\": \"FLANGE\"}}}",
         "decoded.dsp_x.algorithm is \"FLANGE\" in the file but \"CHORUS\" in the record"},
        {"an edited knob", "{\"record\": \"" + hex + "\", \"decoded\": {\"dsp_y\": {\"depth_percent\": 99}}}",
         "decoded.dsp_y.depth_percent is 99"},
        {"an edited option", "{\"record\": \"" + hex + "\", \"decoded\": {\"dsp_y\": {\"options\": {\"Tone\": \"Dark\"}}}}",
         "decoded.dsp_y.options.Tone"},
        {"an edited title", "{\"record\": \"" + hex + "\", \"title\": \"Other\"}", "\"title\" is \"Other\""},
        {"a record the editor cannot load", "{\"record\": \"" + bad_hex + "\"}", "not an algorithm"},
        {"not an object", "42", "not an object"},
    };
    std::string file = "{\"format\": \"tessivar-presets\", \"version\": 1, \"presets\": [";
    for (size_t i = 0; i < cases.size(); ++i) file += (i ? ", " : "") + cases[i].preset;
    file += "]}";
    const SharingImport r = decode_sharing_file(file);
    ASSERT_TRUE(r.ok) << r.error;
    size_t imported = 0, refused = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const std::string label = "preset " + std::to_string(i + 1);
        if (cases[i].refused.empty()) {
            ASSERT_LT(imported, r.presets.size());
            EXPECT_TRUE(same(r.presets[imported++].record, good));
        } else {
            ASSERT_LT(refused, r.refused.size());
            const std::string& why = r.refused[refused++];
            EXPECT_EQ(why.rfind(label, 0), 0u) << why;
            EXPECT_NE(why.find(cases[i].refused), std::string::npos) << why;
        }
    }
    EXPECT_EQ(imported, r.presets.size());
    EXPECT_EQ(refused, r.refused.size());
    EXPECT_EQ(r.presets[0].name, "Lush Chorus");   // no name: the title

    // Files that are not this format at all.
    for (const char* text : {"", "not json", "[]", "{\"format\": \"other\", \"presets\": []}",
                             "{\"format\": \"tessivar-presets\", \"version\": 2, \"presets\": []}",
                             "{\"format\": \"tessivar-presets\"}"}) {
        SCOPED_TRACE(text);
        const SharingImport x = decode_sharing_file(text);
        EXPECT_FALSE(x.ok);
        EXPECT_FALSE(x.error.empty());
    }

    // Names for the library: cleaned, and a taken one numbered.
    EXPECT_EQ(free_preset_name("Big/Chorus", {}), "Big-Chorus");
    EXPECT_EQ(free_preset_name("Big Chorus", {"big chorus"}), "Big Chorus (2)");
    EXPECT_EQ(free_preset_name("Big Chorus", {"Big Chorus", "Big Chorus (2)"}), "Big Chorus (3)");
    EXPECT_EQ(free_preset_name(std::string(38, 'a'), {std::string(38, 'a')}), std::string(34, 'a') + " (2)");
    EXPECT_EQ(free_preset_name("..", {}), "");
}

// --- metadata and setlists ---

TEST(LibraryMeta, SavedLoadedAndADamagedFileIsKeptAsideNotDropped)
{
    const test::ScratchFolder scratch{"kv_library_"};
    const std::string folder = scratch.path() + "/";
    {
        LibraryMeta m(folder);
        EXPECT_TRUE(m.load().ok);   // no file yet: an empty library
        EXPECT_TRUE(m.add_tags("Lush Chorus", {" live ", "Clean", "LIVE"}));
        EXPECT_FALSE(m.add_tags("Lush Chorus", {"a,b"}));
        EXPECT_FALSE(m.add_tags("Lush Chorus", {"two\nlines"}));
        m.set_notes("lush chorus", "Verse \"sound\" \xC3\xA9");
        m.set_favourite("Talk Box", true);
        m.at("Talk Box").added = "2026-12-07 10:48:05";
        m.remove_tags("Talk Box", {"none"});
        ASSERT_EQ(m.save(), "");
    }
    LibraryMeta m(folder);
    ASSERT_TRUE(m.load().ok);
    ASSERT_NE(m.find("LUSH CHORUS"), nullptr);
    EXPECT_EQ(m.find("Lush Chorus")->tags, (std::vector<std::string>{"Clean", "live"}));
    EXPECT_EQ(m.find("Lush Chorus")->notes, "Verse \"sound\" \xC3\xA9");
    EXPECT_TRUE(m.find("Talk Box")->favourite);
    EXPECT_EQ(m.find("Talk Box")->added, "2026-12-07 10:48:05");
    m.rename("Talk Box", "Talk Box 2");
    EXPECT_EQ(m.find("Talk Box"), nullptr);
    EXPECT_TRUE(m.find("talk box 2")->favourite);

    // Damaged files of several kinds: each kept aside under the next free
    // name, the library empty, the next save a fresh file.
    int n = 0;
    for (const char* damaged : {"{\"format\": \"korvane-library\", \"presets\": {\"A\": {\"tags\": 3}}}", "{truncated",
                                "[1, 2]"}) {
        SCOPED_TRACE(damaged);
        write_text(m.path(), damaged);
        LibraryMeta again(folder);
        const LibraryMeta::Loaded l = again.load();
        EXPECT_FALSE(l.ok);
        const std::string aside = folder + "library.damaged-" + std::to_string(++n) + ".json";
        EXPECT_EQ(l.kept_aside, aside);
        EXPECT_NE(l.message.find(aside), std::string::npos) << l.message;
        EXPECT_EQ(read_text(aside), damaged);
        EXPECT_EQ(again.size(), 0u);
        EXPECT_FALSE(again.locked());
        EXPECT_EQ(again.save(), "");
        EXPECT_TRUE(LibraryMeta(folder).load().ok);
    }

    // Setlists.
    EXPECT_EQ(write_setlist(folder, Setlist{"Friday", {"Lush Chorus", "Talk Box"}}), "");
    EXPECT_EQ(write_setlist(folder, Setlist{"Acoustic", {}}), "");
    EXPECT_NE(write_setlist(folder, Setlist{"../x", {"a"}}), "");
    write_text(setlist_folder(folder) + "Broken.json", "{\"format\": \"korvane-setlist\"}");
    std::vector<std::string> problems;
    const std::vector<Setlist> lists = list_setlists(folder, &problems);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].name, "Acoustic");
    EXPECT_EQ(lists[1].presets, (std::vector<std::string>{"Lush Chorus", "Talk Box"}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("no list of presets"), std::string::npos);
    EXPECT_FALSE(read_setlist(folder, "Missing").setlist);
    EXPECT_FALSE(read_setlist(folder, "../Friday").setlist);
    fs::remove_all(folder);
}

// --- search and sort ---

TEST(LibrarySearch, SearchTagsFavouritesAndEverySortOverFiveThousandPresets)
{
    // Preset i: "Sound 0000i", algorithms cycling through the catalogue, tag
    // "live" on every 7th, favourite every 10th, notes "for the gig" every 13th.
    constexpr size_t kCount = 5000;
    std::vector<LibraryRow> rows;
    for (size_t i = 0; i < kCount; ++i) {
        PresetRecord r{};
        r.parameters.algorithm_x = uint8_t(i % kAlgorithmCount);
        r.parameters.algorithm_y = uint8_t((i + 5) % kAlgorithmCount);
        PresetMeta m;
        if (i % 7 == 0) m.tags = {"Live"};
        if (i % 11 == 0) m.tags.push_back("studio");
        m.favourite = i % 10 == 0;
        if (i % 13 == 0) m.notes = "For the GIG";
        char name[32];
        std::snprintf(name, sizeof name, "Sound %05zu", i);
        m.added = "2026-01-01 00:00:" + std::to_string(10 + (kCount - i) % 50);
        rows.push_back(make_library_row(i, name, &r, &m));
    }
    auto count = [&](LibraryQuery q) { return find_rows(rows, q).size(); };
    auto multiples = [&](size_t k) { return (kCount + k - 1) / k; };

    struct Case {
        const char* what;
        LibraryQuery query;
        size_t expected;
    };
    const std::vector<Case> cases = {
        {"everything", {}, kCount},
        // Two words: "sound" and "0012" (in 00012 and 00120 to 00129).
        {"a name, any letter case", {"sOUND 0012", "", false}, 11},
        {"an algorithm name", {"chorus", "", false}, 0},   // filled below
        {"a tag as text", {"LIVE", "", false}, multiples(7)},
        {"notes", {"gig", "", false}, multiples(13)},
        {"two words, both needed", {"gig live", "", false}, multiples(91)},
        {"the tag filter", {"", "live", false}, multiples(7)},
        {"favourites", {"", "", true}, multiples(10)},
        {"favourites with a tag", {"", "studio", true}, multiples(110)},
        {"nothing matches", {"zzz", "", false}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "an algorithm name") {
            // CHORUS is one id: presets with it on either engine.
            int id = -1;
            for (int a = 0; a < kAlgorithmCount; ++a)
                if (std::string(algorithm_code(a)) == "CHORUS") id = a;
            ASSERT_GE(id, 0);
            size_t n = 0;
            for (size_t i = 0; i < kCount; ++i)
                if (int(i % kAlgorithmCount) == id || int((i + 5) % kAlgorithmCount) == id) ++n;
            EXPECT_EQ(count(c.query), n);
        } else {
            EXPECT_EQ(count(c.query), c.expected);
        }
    }

    // Every column sorts both ways; ties keep the library's order.
    for (LibraryColumn col : {LibraryColumn::Name, LibraryColumn::AlgorithmX, LibraryColumn::AlgorithmY,
                              LibraryColumn::Tags, LibraryColumn::Favourite, LibraryColumn::Added}) {
        for (bool descending : {false, true}) {
            LibraryQuery q;
            q.sort = col;
            q.descending = descending;
            const std::vector<size_t> order = find_rows(rows, q);
            ASSERT_EQ(order.size(), kCount);
            for (size_t k = 1; k < order.size(); ++k) {
                const LibraryRow& a = rows[order[k - 1]];
                const LibraryRow& b = rows[order[k]];
                std::string ka, kb;
                switch (col) {
                case LibraryColumn::Name: ka = a.name, kb = b.name; break;
                case LibraryColumn::AlgorithmX: ka = a.algorithm_x, kb = b.algorithm_x; break;
                case LibraryColumn::AlgorithmY: ka = a.algorithm_y, kb = b.algorithm_y; break;
                case LibraryColumn::Tags: ka = a.tags.empty() ? "" : a.tags[0], kb = b.tags.empty() ? "" : b.tags[0]; break;
                case LibraryColumn::Favourite: ka = a.favourite ? "0" : "1", kb = b.favourite ? "0" : "1"; break;
                case LibraryColumn::Added: ka = a.added, kb = b.added; break;
                }
                for (char& ch : ka) ch = char(std::tolower(static_cast<unsigned char>(ch)));
                for (char& ch : kb) ch = char(std::tolower(static_cast<unsigned char>(ch)));
                if (col == LibraryColumn::Tags) continue;   // joined lists: checked by the first tag only below
                ASSERT_TRUE(descending ? ka >= kb : ka <= kb) << int(col) << " at " << k;
                if (ka == kb) {
                    ASSERT_LT(a.entry, b.entry) << "ties keep the library's order";
                }
            }
        }
    }
    LibraryQuery by_name;
    by_name.descending = true;
    EXPECT_EQ(rows[find_rows(rows, by_name).front()].name, "Sound 04999");
    const std::vector<std::string> tags = all_tags(rows);
    EXPECT_EQ(tags, (std::vector<std::string>{"Live", "studio"}));
}

// --- moving presets and sending setlists, against the simulated pedal ---

class SlotRunTest : public ::testing::Test {
protected:
    SlotRunTest()
    {
        pedal.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        for (int s = 0; s < kSlotCount; ++s) pedal.memory().slots[s].title = make_title("Slot " + std::to_string(s + 1));
        driver.attach(kPedalDescription, "TV000001", &pedal);
        pedal.set_request_observer([this](const PedalRequest& r) {
            if (on_request) on_request(r);
        });
        link.set_event_pump([this] { clock.advance(0.001); });
        EXPECT_TRUE(library.usable());
    }
    ~SlotRunTest() override { fs::remove_all(folder); }

    PresetRecord record_of(int slot) const
    {
        return PresetRecord{pedal.memory().slots[slot].parameters, pedal.memory().slots[slot].title};
    }
    void expect_slot_holds(int slot, const PresetRecord& want)
    {
        SCOPED_TRACE("slot " + std::to_string(slot));
        const PedalSlot& got = pedal.memory().slots[slot];
        EXPECT_TRUE(same(PresetRecord{got.parameters, got.title}, want));
        DspProgram x{}, y{};
        build(want.parameters, x, y);
        EXPECT_EQ(0, std::memcmp(got.program_x.bytes, x.bytes, kDspProgramSize));
        EXPECT_EQ(0, std::memcmp(got.program_y.bytes, y.bytes, kDspProgramSize));
    }

    ManualClock clock;
    PedalModel pedal{clock};
    InProcessDriver driver{clock};
    UsbLink link{driver, clock};
    test::RecordingReporter report;
    AlgorithmLibrary library{std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc"};
    ops::ProgramBuilder build = ops::library_program_builder(library);
    std::function<void(const PedalRequest&)> on_request;
    test::ScratchFolder scratch{"kv_library_"};
    std::string folder = scratch.path() + "/";
};

TEST_F(SlotRunTest, AMoveShiftsTheSlotsBetweenAndEachIsVerifiedAfterABackup)
{
    std::vector<PresetRecord> before;
    for (int s = 0; s < kSlotCount; ++s) before.push_back(record_of(s));
    std::vector<double> progress;

    // Preset 2 to slot 30 (0-based 1 to 29): 3..30 move up one, 2 lands in 30.
    const ops::SlotRunResult r =
        ops::move_slot(link, report, 1, 29, build, folder, ops::OnBackupFailure::Refuse, folder);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.done.size(), 29u);
    for (int s = 1; s < 29; ++s) expect_slot_holds(s, before[s + 1]);
    expect_slot_holds(29, before[1]);
    expect_slot_holds(0, before[0]);
    expect_slot_holds(30, before[30]);
    expect_slot_holds(31, before[31]);
    EXPECT_EQ(report.label, "Move complete");
    ASSERT_FALSE(r.backup_path.empty());
    const FileRead bkp = read_file_limited(r.backup_path, kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    for (int s = 0; s < kSlotCount; ++s) EXPECT_TRUE(same(image_record(bkp.bytes.data(), s), before[s])) << s;

    // And back the other way (30 to 2), without a backup: everything as before.
    const ops::SlotRunResult back = ops::move_slot(link, report, 29, 1, build, "", ops::OnBackupFailure::Refuse, folder);
    ASSERT_TRUE(back.ok());
    EXPECT_TRUE(back.backup_path.empty());
    for (int s = 0; s < kSlotCount; ++s) expect_slot_holds(s, before[s]);

    // The plan rewrites only slots whose content changes.
    std::vector<uint8_t> image(kPresetImageSize);
    for (int s = 0; s < kSlotCount; ++s) set_image_record(image.data(), s, before[s]);
    set_image_record(image.data(), 5, before[4]);
    EXPECT_EQ(ops::move_plan(image.data(), 4, 5).size(), 0u);
    EXPECT_EQ(ops::move_plan(image.data(), 3, 3).size(), 0u);
    EXPECT_EQ(ops::move_plan(image.data(), 3, 32).size(), 0u);
}

TEST_F(SlotRunTest, AMoveWithoutBackupThatStopsPartWayKeepsEveryDisplacedPreset)
{
    std::vector<PresetRecord> before;
    for (int s = 0; s < kSlotCount; ++s) before.push_back(record_of(s));
    const std::string keep = folder + "autobackup/";
    // The pedal drops off the bus as the header of this store arrives (the
    // first store, the second: "after the first store", one in the middle,
    // the last, which puts the moved preset into slot 30).
    for (int vanish_at : {1, 2, 15, 29}) {
        SCOPED_TRACE("vanishes at store " + std::to_string(vanish_at));
        // A pedal of its own each time: one that vanished stays gone.
        PedalModel gone{clock};
        gone.set_memory(pedal.memory());
        fs::remove_all(keep);
        driver.detach_all();
        driver.attach(kPedalDescription, "TV000001", &gone);
        int stores = 0;
        gone.set_request_observer([&](const PedalRequest& r) {
            if (r.name.find("parameters & title") != std::string::npos && ++stores == vanish_at) gone.vanish_now();
        });
        const ops::SlotRunResult r = ops::move_slot(link, report, 1, 29, build, "", ops::OnBackupFailure::Refuse, keep);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.done.size(), size_t(vanish_at - 1));
        EXPECT_FALSE(r.kept.empty());

        // Every preset of slots 2 to 30 is on the pedal (the slot that failed
        // does not count) or in a kept file, byte for byte.
        std::vector<PresetRecord> found;
        for (int s = 0; s < kSlotCount; ++s)
            if (s != r.failed_slot) found.push_back(PresetRecord{gone.memory().slots[s].parameters, gone.memory().slots[s].title});
        for (const std::string& file : r.kept) {
            const PresetFile f = read_preset_file(file);
            ASSERT_TRUE(f.ok()) << file;
            EXPECT_EQ(file, keep + f.name + ".lop");
            found.push_back(f.record);
            // Its hex is in a status line.
            EXPECT_TRUE(std::any_of(report.lines.begin(), report.lines.end(), [&](const std::string& l) {
                return l.find(f.name.substr(0, f.name.find(" kept"))) != std::string::npos &&
                       l.find("as it was") != std::string::npos;
            }));
        }
        for (int s = 1; s <= 29; ++s)
            EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const PresetRecord& k) { return same(k, before[s]); }))
                << "the preset of slot " << s + 1 << " is nowhere";
    }
}

TEST_F(SlotRunTest, ASetlistWithOneStoreFailingNamesTheSlotsDoneAndTheBackup)
{
    std::vector<PresetRecord> setlist;
    for (int s : {20, 21, 22, 23, 24}) {
        PresetRecord r = record_of(s);
        r.title = make_title("Set " + std::to_string(s));
        setlist.push_back(r);
    }
    const PresetRecord slot7_before = record_of(6), slot8_before = record_of(7);

    // The pedal stops answering once the third store (slot 7, 0-based 6) begins.
    on_request = [this](const PedalRequest& r) {
        if (r.name == "Store preset 6 parameters & title") pedal.set_no_answer(true);
    };
    const ops::SlotRunResult r = ops::write_slots(link, report, 4, setlist, build, folder,
                                                  ops::OnBackupFailure::Refuse, "Setlist \"Friday\"");
    EXPECT_EQ(r.outcome, ops::SlotRunResult::Outcome::StoreFailed);
    EXPECT_EQ(r.failed_slot, 6);
    EXPECT_EQ(r.done, (std::vector<int>{4, 5}));
    pedal.set_no_answer(false);
    on_request = nullptr;
    expect_slot_holds(4, setlist[0]);
    expect_slot_holds(5, setlist[1]);
    expect_slot_holds(7, slot8_before);
    EXPECT_EQ(report.label, "Send error");
    EXPECT_EQ(report.alerts.size(), 1u);
    EXPECT_TRUE(report.has("  Setlist \"Friday\" failed."));
    EXPECT_TRUE(report.has("  > Preset 7 failed; rewritten and verified: Preset 5, Preset 6."));
    EXPECT_TRUE(report.has("  > The presets as they were are kept in " + r.backup_path + ": restore it to go back."));
    // The backup holds slot 7 as it was.
    const FileRead bkp = read_file_limited(r.backup_path, kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    EXPECT_TRUE(same(image_record(bkp.bytes.data(), 6), slot7_before));

    // Sent again, it goes through: five slots, each verified.
    const ops::SlotRunResult again = ops::write_slots(link, report, 4, setlist, build, folder,
                                                      ops::OnBackupFailure::Refuse, "Setlist \"Friday\"");
    ASSERT_TRUE(again.ok());
    for (int i = 0; i < 5; ++i) expect_slot_holds(4 + i, setlist[size_t(i)]);
    EXPECT_EQ(report.label, "Send complete");

    // A setlist that does not fit is refused before anything is sent.
    EXPECT_EQ(ops::write_slots(link, report, 28, setlist, build, folder, ops::OnBackupFailure::Refuse, "x").outcome,
              ops::SlotRunResult::Outcome::Refused);
}

}  // namespace
}  // namespace kv
