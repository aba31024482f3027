// `korvane arp show SLOT` and `korvane arp save ALGORITHM SEQUENCE ...`: the
// arp sequences a preset plays, and storing a sequence into the pedal's
// global sequence library (the Arp Editor's S A V E).

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/PresetData.h"

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "ops/Arp.h"
#include "platform/DataPaths.h"
#include "preset/Catalogue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

const Command& arp_command()
{
    for (const Command& c : commands())
        if (std::string(c.name) == "arp") return c;
    return commands().front();
}

const char* const kSequenceNames[5] = {"Sequence I", "Sequence II", "Sequence III", "Sequence IV", "Sequence Random"};

std::string upper(std::string s)
{
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A whole number within [low, high], nothing else.
std::optional<int> whole_number(const std::string& text, int low, int high)
{
    if (text.empty() || text.size() > 3) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int n = std::atoi(text.c_str());
    if (n < low || n > high) return std::nullopt;
    return n;
}

// "ARPGTR", "arp.fi", or the id 31..37.
std::optional<AlgorithmId> arp_algorithm(const std::string& text)
{
    if (auto id = whole_number(text, kFirstArpAlgorithm, kAlgorithmCount - 1)) return AlgorithmId(*id);
    const std::string want = upper(text);
    for (int id = kFirstArpAlgorithm; id < kAlgorithmCount; ++id)
        if (want == algorithm_code(id)) return AlgorithmId(id);
    return std::nullopt;
}

// A level on the editor's 0..100 scale: digits with at most one decimal point.
std::optional<double> shown_level(const std::string& text)
{
    if (text.empty() || text.size() > 8) return std::nullopt;
    int dots = 0;
    for (char c : text) {
        if (c == '.') ++dots;
        else if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    }
    if (dots > 1 || text == ".") return std::nullopt;
    const double v = std::strtod(text.c_str(), nullptr);
    if (!(v >= 0.0 && v <= 100.0)) return std::nullopt;
    return v;
}

// The levels of a sequence's steps, each rounded to a tenth as the lines show them.
nlohmann::json json_levels(const ArpSequence& seq)
{
    const ArpReading r = read_arp_sequence(seq, kArpSteps);
    nlohmann::json out = nlohmann::json::array();
    for (int k = 0; k < r.step_count; ++k) out.push_back(std::round(r.shown[size_t(k)] * 10.0) / 10.0);
    return out;
}

std::string describe(const ArpSequence& seq)
{
    const ArpReading r = read_arp_sequence(seq, kArpSteps);
    std::string line = std::to_string(r.step_count) + " steps:";
    char b[16];
    for (int k = 0; k < r.step_count; ++k) {
        std::snprintf(b, sizeof b, " %.1f", r.shown[size_t(k)]);
        line += b;
    }
    return line;
}

int arp_show(Session& s)
{
    if (s.args.size() != 2) return s.usage_error(arp_command(), "arp show takes one slot (1-32)");
    const auto slot = whole_number(s.args[1], 1, kSlotCount);
    if (!slot) return s.usage_error(arp_command(), "'" + s.args[1] + "' is not a slot (1-32)");
    if (!s.connect()) return kFailed;

    const PresetParameters p = image_parameters(s.image.data(), *slot - 1);
    int result = kOk;
    nlohmann::json engines = nlohmann::json::array();
    for (Engine e : {Engine::X, Engine::Y}) {
        const AlgorithmId id = p.algorithm(e);
        const char* engine = e == Engine::X ? "DSP-X" : "DSP-Y";
        std::string line = std::string(engine) + "  " + algorithm_shown(id);
        nlohmann::json& json = engines.emplace_back(nlohmann::json{{"engine", engine}, {"algorithm", algorithm_shown(id)}});
        if (!is_arp_algorithm(id)) {
            json["sequence"] = nullptr;
            json["levels"] = nullptr;
            if (!s.json) s.out(line + "  no sequence");
            continue;
        }
        const uint8_t selector = e == Engine::X ? p.sp1_x : p.sp1_y;
        const int position = code_to_position(id, 0, selector);
        line += std::string("  ") + kSequenceNames[std::min(std::max(position, 0), 4)];
        const auto seq = ops::fetch_sequence(s.link(), p, e);
        const char* name = kSequenceNames[std::min(std::max(position, 0), 4)];
        json["sequence"] = name;
        if (!seq) {
            s.err("korvane arp: the pedal did not send " + std::string(engine) + "'s sequence.");
            json["levels"] = nullptr;
            result = kFailed;
            continue;
        }
        // The random sequence is the pedal's own: nothing to show of it.
        json["levels"] = position >= 4 ? nlohmann::json(nullptr) : json_levels(*seq);
        if (!s.json) s.out(position >= 4 ? line : line + "  " + describe(*seq));
    }
    if (s.json && result == kOk) s.out(json_text({{"slot", *slot}, {"engines", engines}}));
    return result;
}

int arp_store(Session& s)
{
    const Command& c = arp_command();
    if (s.args.size() < 4) return s.usage_error(c, "arp store needs an algorithm, a sequence (1-4) and levels or 'factory N'");
    const auto id = arp_algorithm(s.args[1]);
    if (!id) return s.usage_error(c, "'" + s.args[1] + "' is not an arp algorithm (ARP.TR ... ARPGTR, or 31-37)");
    const auto number = whole_number(s.args[2], 1, kArpUserSequences);
    if (!number) return s.usage_error(c, "'" + s.args[2] + "' is not a sequence (1-4)");
    const bool tremolo = *id == kFirstArpAlgorithm;

    ArpSequence seq;
    std::string from;
    if (s.args[3] == "factory") {
        if (s.args.size() != 5) return s.usage_error(c, "'factory' takes one number (1-4)");
        const auto factory = whole_number(s.args[4], 1, kArpUserSequences);
        if (!factory) return s.usage_error(c, "'" + s.args[4] + "' is not a factory sequence (1-4)");
        FactoryArpTable table;
        const auto f = ops::factory_sequence(table, s.report(), *id, *factory - 1, data_dir());
        if (!f) return kUsage;   // the file could not be read: said already
        seq = *f;
        from = "factory " + std::string(kSequenceNames[*factory - 1]);
    } else {
        const size_t n = s.args.size() - 3;
        if (n < size_t(kArpMinSteps) || n > size_t(kArpSteps))
            return s.usage_error(c, "give 4 to 8 levels (0-100), one a step");
        std::array<double, kArpSteps> shown{};
        for (size_t k = 0; k < n; ++k) {
            const auto v = shown_level(s.args[3 + k]);
            if (!v) return s.usage_error(c, "'" + s.args[3 + k] + "' is not a level (0-100)");
            shown[k] = *v;
        }
        seq = make_arp_sequence(shown, int(n), tremolo);
        from = "levels";
    }

    const std::string target = std::string(algorithm_info(*id).menu_entry) + " " + kSequenceNames[*number - 1];
    if (!s.connect()) return kFailed;
    if (!s.confirm("Store the " + from + " as " + target + " in the pedal's sequence library?")) return s.declined();
    const ops::ArpTarget where{Engine::X, *id, uint8_t(arp_selector(*number - 1))};
    if (!ops::save_sequence(s.link(), s.report(), where, seq).ok()) {
        s.err("korvane arp: the pedal did not take the sequence.");
        return kFailed;
    }
    s.out("Stored as " + target + ": " + describe(seq));
    return kOk;
}

} // namespace

int cmd_arp(Session& s)
{
    // The parser has checked the action; "save" is the former name of "store".
    if (s.args[0] == "show") return arp_show(s);
    return arp_store(s);
}

} // namespace kv::cli
