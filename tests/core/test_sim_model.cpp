#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "preset/ProgramPatcher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using kv::PedalModel;
using Bytes = std::vector<uint8_t>;

Bytes feed(PedalModel& m, const Bytes& in)
{
    Bytes reply;
    m.receive(in.data(), in.size(), reply);
    return reply;
}

Bytes feed_bytewise(PedalModel& m, const Bytes& in)
{
    Bytes reply;
    for (uint8_t b : in) m.receive(&b, 1, reply);
    return reply;
}

Bytes pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7 + (i >> 8));
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes store_request(int slot, const Bytes& params, const std::string& title, const Bytes& x, const Bytes& y)
{
    Bytes header{uint8_t(0x40 | (slot & 0x3F))};
    header.insert(header.end(), params.begin(), params.end());
    const kv::PresetTitle t = kv::make_title(title);
    header.insert(header.end(), t.text, t.text + kv::kPresetTitleSize);
    return cat({header, x, y});
}

Bytes set_arp_request(uint8_t engine, uint8_t store, uint8_t alg, uint8_t sel, const Bytes& seq)
{
    return cat({Bytes{0xC8, engine, store, alg, sel}, seq});
}

// A session touching every normal-mode command, as one byte stream.
Bytes whole_session()
{
    return cat({Bytes{0xC0}, Bytes{0xC1}, cat({Bytes{0xC2}, pattern(34, 1)}), cat({Bytes{0xC3}, pattern(35, 2)}),
                Bytes{0xC4}, Bytes{0x07}, store_request(7, pattern(35, 3), "Stored", pattern(512, 4), pattern(512, 5)),
                cat({Bytes{0xC5}, pattern(512, 6)}), cat({Bytes{0xC6}, pattern(512, 7)}),
                cat({Bytes{0x85}, pattern(512, 8)}), Bytes{0xC7, 2, 0, 4}, set_arp_request(1, 1, 2, 4, pattern(32, 9)),
                Bytes{0xC7, 2, 1, 4}, Bytes{0x07}});
}

TEST(SimParser, AnySplitOfTheStreamGivesTheSameAnswersAndMemory)
{
    const Bytes session = whole_session();
    PedalModel whole;
    const Bytes expected = feed(whole, session);
    ASSERT_EQ(expected.size(), 2u + 34 + 1504 + 47 + 512 + 512 + 512 + 32 + 32 + 47);

    PedalModel bytewise;
    EXPECT_EQ(feed_bytewise(bytewise, session), expected);
    EXPECT_EQ(bytewise.memory(), whole.memory());
    EXPECT_EQ(bytewise.requests_handled(), whole.requests_handled());

    // Two chunks, cut at every position of the stream.
    for (size_t cut = 1; cut < session.size(); cut += 1) {
        PedalModel m;
        Bytes reply;
        m.receive(session.data(), cut, reply);
        m.receive(session.data() + cut, session.size() - cut, reply);
        ASSERT_EQ(reply, expected) << "cut at " << cut;
        ASSERT_FALSE(m.mid_command());
    }
}

TEST(SimParser, UnknownBytesAreSkippedAndTheNextCommandStillAnswers)
{
    PedalModel m;
    std::vector<std::string> seen;
    m.set_request_observer([&](const kv::PedalRequest& r) { if (!r.known) seen.push_back(r.name); });
    const Bytes reply = feed(m, Bytes{0xC9, 0xFF, 0xCF, 0xD0, 0xC0});
    EXPECT_EQ(reply, (Bytes{0x25, 0x80}));
    EXPECT_EQ(seen.size(), 4u);   // 0xCF means nothing in normal mode
    EXPECT_FALSE(m.update_mode());
}

TEST(SimCommands, PedalStateCarriesVersionModeAndPatch)
{
    PedalModel m;
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x25, 0x80}));
    m.set_firmware_version({3, 1, 7});
    m.set_update_mode(true);
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x31, 0x07}));
    m.set_firmware_version({15, 15, 127});
    m.set_update_mode(false);
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0xFF, 0xFF}));
}

TEST(SimCommands, GlobalsTravelRotatedBothWays)
{
    PedalModel m;
    const Bytes factory = feed(m, {0xC1});
    ASSERT_EQ(factory.size(), 34u);
    EXPECT_EQ(factory[0], 0x60);
    EXPECT_EQ(factory[1], 0x00);
    EXPECT_EQ(factory[2], 14);
    EXPECT_EQ(factory[30], 42);
    EXPECT_EQ((Bytes{factory[31], factory[32], factory[33]}), (Bytes{3, 10, 2}));

    // A record 0, 1, ... 33 travels as 3..33, 0, 1, 2.
    Bytes wire{0xC2};
    for (int k = 3; k < 34; ++k) wire.push_back(uint8_t(k));
    for (int k = 0; k < 3; ++k) wire.push_back(uint8_t(k));
    const uint64_t before = m.generation();
    EXPECT_TRUE(feed(m, wire).empty());
    EXPECT_GT(m.generation(), before);
    for (size_t k = 0; k < 34; ++k) EXPECT_EQ(m.memory().globals[k], k);
    EXPECT_EQ(feed(m, {0xC1}), Bytes(wire.begin() + 1, wire.end()));
}

TEST(SimCommands, ReadAllAndReadPresetGiveTheSlotsBytes)
{
    PedalModel m;
    for (int s = 0; s < kv::kSlotCount; ++s) {
        auto* slot = m.slot(s);
        std::memcpy(&slot->parameters, pattern(35, uint8_t(s * 3)).data(), 35);
        slot->title = kv::make_title("Slot " + std::to_string(s));
    }
    const Bytes all = feed(m, {0xC4});
    ASSERT_EQ(all.size(), 512u + 512 + 96 + 384);
    for (int s = 0; s < kv::kSlotCount; ++s) {
        EXPECT_EQ(Bytes(all.begin() + 35 * s, all.begin() + 35 * s + 35), pattern(35, uint8_t(s * 3)));
        EXPECT_EQ(std::string(all.begin() + 1120 + 12 * s, all.begin() + 1120 + 12 * s + 12),
                  std::string(m.slot(s)->title.text, 12));
    }
    const Bytes one = feed(m, {0x1F});
    ASSERT_EQ(one.size(), 47u);
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 35), pattern(35, 93));
    EXPECT_EQ(std::string(one.begin() + 35, one.end()), "Slot 31     ");
    // Slots 32..63 do not exist and get no answer.
    EXPECT_TRUE(feed(m, {0x20}).empty());
    EXPECT_EQ(feed(m, {0xC0}).size(), 2u);
}

TEST(SimCommands, StoreEchoesEachProgramAndReadsBackEqual)
{
    PedalModel m;
    const Bytes params = pattern(35, 40), x = pattern(512, 41), y = pattern(512, 42);
    const Bytes req = store_request(31, params, "My Sound", x, y);
    ASSERT_EQ(req[0], 0x5F);

    Bytes reply;
    m.receive(req.data(), 48, reply);
    EXPECT_TRUE(reply.empty());
    m.receive(req.data() + 48, 512, reply);
    EXPECT_EQ(reply, x);
    EXPECT_EQ(m.slot(31)->title.text[0], 'P');   // nothing is stored before the Y program is in
    reply.clear();
    m.receive(req.data() + 560, 512, reply);
    EXPECT_EQ(reply, y);

    const auto* s = m.slot(31);
    EXPECT_EQ(Bytes(s->program_x.bytes, s->program_x.bytes + 512), x);
    EXPECT_EQ(Bytes(s->program_y.bytes, s->program_y.bytes + 512), y);
    EXPECT_EQ(feed(m, {0x1F}), cat({params, Bytes{'M', 'y', ' ', 'S', 'o', 'u', 'n', 'd', ' ', ' ', ' ', ' '}}));
    EXPECT_EQ(m.requests_handled(), 2);

    // A store to slot 40 is followed through to the end but kept nowhere.
    PedalModel n;
    const kv::PedalMemory before = n.memory();
    EXPECT_EQ(feed(n, store_request(40, params, "x", x, y)), cat({x, y}));
    EXPECT_EQ(n.memory(), before);
}

TEST(SimCommands, PreviewsChangeWhatIsPlayingButNotTheMemory)
{
    PedalModel m;
    const kv::PedalMemory before = m.memory();
    EXPECT_TRUE(feed(m, cat({Bytes{0xC3}, pattern(35, 50)})).empty());
    EXPECT_EQ(Bytes(m.playing().parameters.data(), m.playing().parameters.data() + 35), pattern(35, 50));
    EXPECT_TRUE(feed(m, cat({Bytes{0xC6}, pattern(512, 51)})).empty());
    EXPECT_EQ(Bytes(m.playing().program_y.bytes, m.playing().program_y.bytes + 512), pattern(512, 51));
    EXPECT_EQ(std::memcmp(m.playing().program_x.bytes, m.memory().slots[0].program_x.bytes, 512), 0);
    EXPECT_TRUE(feed(m, cat({Bytes{0xC5}, pattern(512, 52)})).empty());
    EXPECT_EQ(Bytes(m.playing().program_x.bytes, m.playing().program_x.bytes + 512), pattern(512, 52));
    EXPECT_EQ(m.memory(), before);
}

TEST(SimCommands, ArpSequencesFollowTheSelectorAndTheStoreFlag)
{
    EXPECT_EQ(kv::arp_sequence_of_selector(0), 0);
    EXPECT_EQ(kv::arp_sequence_of_selector(2), 1);
    EXPECT_EQ(kv::arp_sequence_of_selector(4), 2);
    EXPECT_EQ(kv::arp_sequence_of_selector(5), 3);
    EXPECT_EQ(kv::arp_sequence_of_selector(6), 3);
    EXPECT_EQ(kv::arp_sequence_of_selector(7), kv::kArpRandom);
    EXPECT_EQ(kv::arp_sequence_of_selector(8), kv::kArpNoSequence);

    PedalModel m;
    for (int a = 0; a < kv::kArpAlgorithmCount; ++a)
        for (int s = 0; s < 4; ++s) {
            const Bytes got = feed(m, {0xC7, uint8_t(a), 0, uint8_t(2 * s)});
            const kv::ArpBytes seq = m.memory().arp(a, s);
            ASSERT_EQ(got, Bytes(seq.begin(), seq.end()));
        }

    // Preview: only the engine's playing sequence changes.
    const kv::PedalMemory before = m.memory();
    EXPECT_TRUE(feed(m, set_arp_request(1, 0, 3, 4, pattern(32, 60))).empty());
    EXPECT_EQ(Bytes(m.playing().arp_y.begin(), m.playing().arp_y.end()), pattern(32, 60));
    EXPECT_EQ(m.memory(), before);

    // A parameter edit keeps the previewed sequence; choosing another
    // sequence plays it from the library.
    kv::PresetParameters p = m.playing().parameters;
    p.algorithm_y = 34;
    p.sp1_y = 4;
    p.depth_y = 1;
    feed(m, cat({Bytes{0xC3}, Bytes(p.data(), p.data() + 35)}));
    EXPECT_EQ(m.playing().arp_y, m.memory().arp(3, 2));
    feed(m, set_arp_request(1, 0, 3, 4, pattern(32, 60)));
    p.depth_y = 200;
    feed(m, cat({Bytes{0xC3}, Bytes(p.data(), p.data() + 35)}));
    EXPECT_EQ(Bytes(m.playing().arp_y.begin(), m.playing().arp_y.end()), pattern(32, 60));
    p.sp1_y = 7;
    feed(m, cat({Bytes{0xC3}, Bytes(p.data(), p.data() + 35)}));
    EXPECT_EQ(m.playing().arp_y, kv::arp_random_sequence(3));

    // Store: Sequence III of Arp Flanger is replaced and read back.
    EXPECT_TRUE(feed(m, set_arp_request(0, 1, 3, 4, pattern(32, 61))).empty());
    EXPECT_EQ(feed(m, {0xC7, 3, 0, 4}), pattern(32, 61));
    const kv::ArpBytes fourth = before.arp(3, 3);
    EXPECT_EQ(feed(m, {0xC7, 3, 1, 6}), Bytes(fourth.begin(), fourth.end()));

    // The random sequence is fixed; out-of-range requests are answered with zeros.
    const kv::ArpBytes random = kv::arp_random_sequence(3);
    EXPECT_EQ(feed(m, {0xC7, 3, 0, 7}), Bytes(random.begin(), random.end()));
    const kv::PedalMemory stored = m.memory();
    EXPECT_TRUE(feed(m, set_arp_request(0, 1, 3, 7, pattern(32, 62))).empty());
    EXPECT_TRUE(feed(m, set_arp_request(0, 1, 9, 0, pattern(32, 63))).empty());
    EXPECT_TRUE(feed(m, set_arp_request(0, 1, 0, 200, pattern(32, 64))).empty());
    EXPECT_EQ(m.memory(), stored);
    EXPECT_EQ(feed(m, {0xC7, 7, 0, 0}), Bytes(32, 0));
    EXPECT_EQ(feed(m, {0xC7, 255, 0, 0}), Bytes(32, 0));
    EXPECT_EQ(feed(m, {0xC7, 0, 0, 9}), Bytes(32, 0));
}

TEST(SimCommands, LibraryBlocksAreEchoedAndKept)
{
    PedalModel m;
    for (int block : {0, 5, 37, 63}) {
        const Bytes data = pattern(512, uint8_t(block));
        EXPECT_EQ(feed(m, cat({Bytes{uint8_t(0x80 | block)}, data})), data);
        EXPECT_EQ(Bytes(m.memory().library[block].begin(), m.memory().library[block].end()), data);
    }
}

TEST(SimCommands, TheArpLibraryIsTheLastTwoLibraryBlocks)
{
    PedalModel m;
    // The user stores Sequence III of the Arpeggiator (index 6)...
    EXPECT_TRUE(feed(m, set_arp_request(0, 1, 6, 4, pattern(32, 70))).empty());
    EXPECT_EQ(feed(m, {0xC7, 6, 0, 4}), pattern(32, 70));
    // ...and it sits in block 63, at 6 x 128 + 2 x 32 - 512.
    EXPECT_EQ(Bytes(m.memory().library[63].begin() + 320, m.memory().library[63].begin() + 352), pattern(32, 70));

    // A library update writes the factory table over blocks 62 and 63: the
    // sequences read back are the factory's.
    const Bytes table = pattern(896, 71);
    Bytes block62(table.begin(), table.begin() + 512);
    Bytes block63(table.begin() + 512, table.end());
    block63.resize(512, 0);
    EXPECT_EQ(feed(m, cat({Bytes{0xBE}, block62})), block62);
    EXPECT_EQ(feed(m, cat({Bytes{0xBF}, block63})), block63);
    EXPECT_EQ(feed(m, {0xC7, 6, 0, 4}), Bytes(table.begin() + 832, table.begin() + 864));
    EXPECT_EQ(feed(m, {0xC7, 0, 1, 0}), Bytes(table.begin(), table.begin() + 32));
    EXPECT_EQ(feed(m, {0xC7, 4, 0, 0}), Bytes(table.begin() + 512, table.begin() + 544));
}

TEST(SimUpdateMode, PagesAreEchoedAndSetVersionRestartsNormally)
{
    PedalModel m;
    m.set_firmware_version({2, 2, 0});
    m.set_update_mode(true);
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x22, 0x00}));
    // Normal-mode commands mean nothing here.
    EXPECT_TRUE(feed(m, {0xC4, 0xC1, 0x00}).empty());

    const Bytes page = pattern(256, 70);
    EXPECT_EQ(feed_bytewise(m, cat({Bytes{0xC7, 0x00, 0x05}, page})), page);
    EXPECT_EQ(Bytes(m.memory().firmware.begin() + 0x500, m.memory().firmware.begin() + 0x600), page);
    EXPECT_EQ(feed(m, cat({Bytes{0xC7, 0x00, 0xFF}, page})), page);   // the last page of 64 KiB
    EXPECT_EQ(Bytes(m.memory().firmware.end() - 256, m.memory().firmware.end()), page);

    EXPECT_TRUE(feed(m, {0xC8, 0x23, 0x05}).empty());
    EXPECT_FALSE(m.update_mode());
    EXPECT_EQ(m.firmware_version(), (kv::FirmwareVersion{2, 3, 5}));
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x23, 0x85}));
    // Back in normal mode, 0xC7 is GET_ARPDATA again.
    EXPECT_EQ(feed(m, {0xC7, 0, 0, 0}).size(), 32u);
}

TEST(SimUpdateMode, SendOneMessageLeavesUpdateModeKeepingTheVersion)
{
    PedalModel m;
    m.set_update_mode(true);
    EXPECT_TRUE(feed(m, {0xCF}).empty());
    EXPECT_FALSE(m.update_mode());
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x25, 0x80}));
}

TEST(SimFaults, NoAnswerIsADeafPedal)
{
    PedalModel m;
    m.set_no_answer(true);
    const kv::PedalMemory before = m.memory();
    EXPECT_TRUE(feed(m, cat({Bytes{0xC0, 0xC4}, store_request(1, pattern(35, 1), "t", pattern(512, 2), pattern(512, 3))})).empty());
    EXPECT_EQ(m.memory(), before);
    m.set_no_answer(false);
    EXPECT_EQ(feed(m, {0xC0}).size(), 2u);
}

TEST(SimFaults, ShortAnswerKeepsOnlyTheFirstHalf)
{
    PedalModel m;
    m.set_short_answer(true);
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x25}));
    EXPECT_EQ(feed(m, {0xC4}).size(), 752u);
    EXPECT_EQ(feed(m, {0x00}).size(), 23u);
}

TEST(SimFaults, CorruptEchoSpoilsTheLastByteOfTheNextBlocksOnly)
{
    PedalModel m;
    m.corrupt_next_echoes(2);
    const Bytes x = pattern(512, 1), y = pattern(512, 2);
    const Bytes reply = feed(m, store_request(3, pattern(35, 3), "c", x, y));
    ASSERT_EQ(reply.size(), 1024u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 511), Bytes(x.begin(), x.begin() + 511));
    EXPECT_NE(reply[511], x[511]);
    EXPECT_NE(reply[1023], y[511]);
    // What was received is stored correctly all the same.
    EXPECT_EQ(Bytes(m.slot(3)->program_x.bytes, m.slot(3)->program_x.bytes + 512), x);
    EXPECT_EQ(m.corrupt_echoes_left(), 0);
    EXPECT_EQ(feed(m, cat({Bytes{0x81}, x})), x);
}

TEST(SimFaults, LateAnswerIsReportedAsADelay)
{
    PedalModel m;
    EXPECT_EQ(m.reply_delay(), 0.0);
    m.set_reply_delay(1.5);
    EXPECT_EQ(m.reply_delay(), 1.5);
    EXPECT_EQ(feed(m, {0xC0}).size(), 2u);   // the bytes themselves are unchanged
}

TEST(SimFaults, VanishesAfterTheGivenNumberOfRequests)
{
    PedalModel m;
    m.vanish_after(2);
    EXPECT_EQ(feed(m, {0xC0, 0xC1}).size(), 36u);
    EXPECT_TRUE(m.vanished());
    EXPECT_TRUE(feed(m, {0xC0}).empty());

    PedalModel at_once;
    at_once.vanish_after(0);
    EXPECT_TRUE(at_once.vanished());
    EXPECT_TRUE(feed(at_once, {0xC0}).empty());

    PedalModel cancelled;
    cancelled.vanish_after(1);
    cancelled.vanish_after(-1);
    EXPECT_EQ(feed(cancelled, {0xC0, 0xC0}).size(), 4u);
    EXPECT_FALSE(cancelled.vanished());
}

TEST(SimParser, AHalfCommandIsDroppedOnPurgeOrAfterAStall)
{
    kv::ManualClock clock;
    PedalModel m(clock);
    const Bytes req = store_request(2, pattern(35, 1), "s", pattern(512, 2), pattern(512, 3));

    // The store pauses up to a second between its header and the X program.
    Bytes reply;
    m.receive(req.data(), 48, reply);
    clock.advance(1.5);
    m.receive(req.data() + 48, 1024, reply);
    EXPECT_EQ(reply.size(), 1024u);

    // A header left alone for longer than the stall limit is forgotten.
    m.receive(req.data(), 48, reply);
    clock.advance(PedalModel::kStallSeconds + 0.1);
    EXPECT_EQ(feed(m, {0xC0}), (Bytes{0x25, 0x80}));

    // So is one the host purged away.
    m.receive(req.data(), 30, reply);
    EXPECT_TRUE(m.mid_command());
    m.host_purged();
    EXPECT_FALSE(m.mid_command());
    EXPECT_EQ(feed(m, {0xC0}).size(), 2u);
}

TEST(SimParser, ObserverSeesEveryPart)
{
    PedalModel m;
    std::vector<kv::PedalRequest> seen;
    m.set_request_observer([&](const kv::PedalRequest& r) { seen.push_back(r); });
    feed(m, store_request(5, pattern(35, 1), "o", pattern(512, 2), pattern(512, 3)));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].name, "Store preset 5 parameters & title");
    EXPECT_EQ(seen[0].length, 48u);
    EXPECT_EQ(seen[0].head.size(), 8u);
    EXPECT_EQ(seen[0].head[0], 0x45);
    EXPECT_EQ(seen[2].name, "Store preset 5 Y-Data");
    EXPECT_EQ(seen[2].reply_length, 512u);
}

std::filesystem::path temp_dir(const char* tag)
{
    auto p = std::filesystem::temp_directory_path() / (std::string("kv_sim_") + tag + std::to_string(getpid()));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

void write_file(const std::filesystem::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

TEST(SimStateFile, RoundTripKeepsTheWholeMemory)
{
    const auto dir = temp_dir("state");
    const std::string path = (dir / "pedal.state").string();
    PedalModel m;
    feed(m, store_request(9, pattern(35, 1), "Kept", pattern(512, 2), pattern(512, 3)));
    feed(m, cat({Bytes{0xC2}, pattern(34, 4)}));
    feed(m, set_arp_request(0, 1, 6, 6, pattern(32, 5)));
    feed(m, cat({Bytes{0xBE}, pattern(512, 6)}));
    m.set_update_mode(true);
    feed(m, cat({Bytes{0xC7, 0, 9}, pattern(256, 7)}));
    feed(m, {0xC8, 0x31, 0x02});
    ASSERT_TRUE(m.save_state(path));

    PedalModel n;
    ASSERT_TRUE(n.load_state(path));
    EXPECT_EQ(n.memory(), m.memory());
    EXPECT_EQ(n.firmware_version(), (kv::FirmwareVersion{3, 1, 2}));
    std::filesystem::remove_all(dir);
}

TEST(SimStateFile, DamagedShortOrForeignFilesLeaveTheFactoryState)
{
    const auto dir = temp_dir("bad");
    PedalModel m;
    feed(m, cat({Bytes{0xC2}, pattern(34, 4)}));
    const Bytes good = m.serialize();

    PedalModel fresh;
    const kv::PedalMemory factory = fresh.memory();
    auto try_load = [&](const Bytes& content) {
        const auto p = dir / "s";
        write_file(p, content);
        PedalModel n;
        const bool ok = n.load_state(p.string());
        EXPECT_EQ(n.memory(), factory);
        return ok;
    };
    Bytes flipped = good;
    flipped[good.size() / 2] ^= 0x01;
    EXPECT_FALSE(try_load(flipped));
    EXPECT_FALSE(try_load(Bytes(good.begin(), good.end() - 1)));
    EXPECT_FALSE(try_load(Bytes(good.begin(), good.begin() + 10)));
    EXPECT_FALSE(try_load({}));
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(try_load(longer));
    Bytes other_version = good;
    other_version[8] = 2;
    EXPECT_FALSE(try_load(other_version));
    EXPECT_FALSE(fresh.load_state((dir / "missing").string()));
    std::filesystem::remove_all(dir);
}

TEST(SimFactory, PowersUpFromTheDataFilesAndFallsBackPerFile)
{
    const auto dir = temp_dir("factory");
    Bytes fap = pattern(kv::kPresetImageSize, 1);
    for (int s = 0; s < kv::kSlotCount; ++s) {
        fap[35 * s + 33] = uint8_t(s);        // algorithm_x
        fap[35 * s + 34] = uint8_t(40 + s);   // algorithm_y: beyond the catalogue for every slot
    }
    Bytes fvc = pattern(kv::kAlgorithmLibraryHeader, 0);
    for (int id = 0; id < kv::kAlgorithmCount; ++id) {
        const Bytes image(512, uint8_t(id + 100));
        fvc.insert(fvc.end(), image.begin(), image.end());
    }
    write_file(dir / "factoryset.fap", fap);
    write_file(dir / "error_log.fvc", fvc);
    write_file(dir / "arpdata.bin", pattern(896, 9));
    write_file(dir / "dispdata.bin", pattern(1000, 11));

    kv::FactorySources used;
    const kv::PedalMemory m = kv::factory_memory(dir.string(), &used);
    EXPECT_TRUE(used.presets && used.library && used.arp && used.display);
    EXPECT_EQ(Bytes(m.slots[4].parameters.data(), m.slots[4].parameters.data() + 35),
              Bytes(fap.begin() + 140, fap.begin() + 175));
    EXPECT_EQ(std::string(m.slots[31].title.text, 12), std::string(fap.begin() + 1120 + 372, fap.end()));
    // Slot 7 plays algorithm 7's image, patched for its secondary parameters.
    kv::DspProgram expected;
    std::memset(expected.bytes, 107, 512);
    const kv::ProgramPatcher patcher;
    for (int k = 0; k < 3; ++k) patcher.patch(k, m.slots[7].parameters.sp(kv::Engine::X, k), expected, 7);
    EXPECT_EQ(std::memcmp(m.slots[7].program_x.bytes, expected.bytes, 512), 0);
    EXPECT_EQ(m.slots[7].program_y.bytes[0], 0);     // no such algorithm: nothing to play
    EXPECT_EQ(m.library[37][511], 137);
    const Bytes display = pattern(1000, 11);
    EXPECT_EQ(Bytes(m.library[39].begin(), m.library[39].begin() + 488), Bytes(display.begin() + 512, display.end()));
    EXPECT_EQ(m.library[39][488], 0);
    const Bytes arp = pattern(896, 9);
    const kv::ArpBytes third = m.arp(6, 2);
    EXPECT_EQ(Bytes(third.begin(), third.end()), Bytes(arp.begin() + 832, arp.begin() + 864));
    EXPECT_EQ(Bytes(m.library[63].begin(), m.library[63].begin() + 384), Bytes(arp.begin() + 512, arp.end()));
    EXPECT_EQ(m.globals, kv::factory_globals());

    // A master file of the wrong size is not used; the other files still are.
    write_file(dir / "factoryset.fap", Bytes(1503, 0));
    const kv::PedalMemory n = kv::factory_memory(dir.string(), &used);
    EXPECT_FALSE(used.presets);
    EXPECT_TRUE(used.library);
    EXPECT_EQ(n.slots[0].program_x.bytes[511], 100 + n.slots[0].parameters.algorithm_x);

    const auto empty = temp_dir("empty");
    EXPECT_EQ(kv::factory_memory(empty.string(), &used), kv::builtin_factory_memory());
    EXPECT_FALSE(used.presets || used.library || used.arp || used.display);
    std::filesystem::remove_all(dir);
    std::filesystem::remove_all(empty);
}

TEST(SimFactory, DisplayDataIsReadOnlyAsFarAsTheLibraryHoldsIt)
{
    const auto dir = temp_dir("display");
    // 24 blocks fill blocks 38 to 61; the arp blocks keep the arp table.
    const Bytes display = pattern(24 * 512, 21);
    write_file(dir / "dispdata.bin", display);
    kv::FactorySources used;
    const kv::PedalMemory m = kv::factory_memory(dir.string(), &used);
    EXPECT_TRUE(used.display);
    for (int b = 0; b < kv::kDisplayBlocksMax; ++b)
        ASSERT_EQ(Bytes(m.library[size_t(38 + b)].begin(), m.library[size_t(38 + b)].end()),
                  Bytes(display.begin() + b * 512, display.begin() + (b + 1) * 512));
    EXPECT_EQ(m.arp(0, 0), kv::builtin_factory_memory().arp(0, 0));

    // One byte more than the blocks hold: refused, and said.
    write_file(dir / "dispdata.bin", pattern(24 * 512 + 1, 21));
    const kv::PedalMemory longer = kv::factory_memory(dir.string(), &used);
    EXPECT_FALSE(used.display);
    EXPECT_EQ(used.problems.size(), 1u);
    EXPECT_EQ(longer.library[38], kv::builtin_factory_memory().library[38]);

    // A file without end: power-up still comes, in little memory.
    std::filesystem::remove(dir / "dispdata.bin");
    std::filesystem::create_symlink("/dev/zero", dir / "dispdata.bin");
    EXPECT_EXIT(
        {
#ifndef __SANITIZE_ADDRESS__   // the sanitizer's own reservations exceed any such limit
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = rlim_t(768) << 20;
            setrlimit(RLIMIT_AS, &limit);
#endif
            const kv::PedalMemory endless = kv::factory_memory(dir.string());
            std::_Exit(endless.arp(6, 3) == kv::builtin_factory_memory().arp(6, 3) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(dir);
}

TEST(SimFactory, BuiltInMemoryIsAUsablePedal)
{
    const kv::PedalMemory m = kv::builtin_factory_memory();
    EXPECT_EQ(m.globals, kv::factory_globals());
    EXPECT_EQ(std::string(m.slots[3].title.text, 12), "Preset 2B   ");
    for (int a = 0; a < kv::kArpAlgorithmCount; ++a)
        for (int s = 0; s < 4; ++s) {
            const kv::ArpBytes seq = m.arp(a, s);
            for (int k = 0; k < 8; ++k) {
                const int level = seq[4 * k] | (seq[4 * k + 1] << 8);
                const int second = seq[4 * k + 2] | (seq[4 * k + 3] << 8);
                EXPECT_LE(level, 4095);
                EXPECT_EQ(second, a == 0 ? 0 : level);
            }
        }
    kv::DspProgram expected = kv::builtin_algorithm_images()[m.slots[0].parameters.algorithm_x];
    const kv::ProgramPatcher patcher;
    for (int k = 0; k < 3; ++k)
        patcher.patch(k, m.slots[0].parameters.sp(kv::Engine::X, k), expected, m.slots[0].parameters.algorithm_x);
    EXPECT_EQ(std::memcmp(m.slots[0].program_x.bytes, expected.bytes, 512), 0);

    // With the shipped data files the pedal takes all of them.
    kv::FactorySources used;
    kv::factory_memory(std::string(KV_SOURCE_DIR) + "/bin", &used);
    if (std::filesystem::exists(std::string(KV_SOURCE_DIR) + "/bin/factoryset.fap")) {
        EXPECT_TRUE(used.presets && used.library && used.arp && used.display);
    }
}

TEST(SimVersion, ParsesOnlyWellFormedVersions)
{
    kv::FirmwareVersion v;
    EXPECT_TRUE(kv::parse_firmware_version("2.3.0", &v));
    EXPECT_EQ(v, (kv::FirmwareVersion{2, 3, 0}));
    EXPECT_TRUE(kv::parse_firmware_version("15.15.127", &v));
    EXPECT_EQ(kv::format_firmware_version(v), "15.15.127");
    for (const char* bad : {"", "2.3", "2.3.0.1", "16.0.0", "2.16.0", "2.3.128", "a.b.c", "2..3", ".2.3", "2.3.", "-1.0.0"})
        EXPECT_FALSE(kv::parse_firmware_version(bad, &v)) << bad;
}

}  // namespace
