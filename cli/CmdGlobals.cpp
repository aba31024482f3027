// `korvane globals show | save FILE | load FILE`: the pedal's global record
// (AUX switches, favourite preset, pages, pad, footswitch B/X, tempo LED,
// MIDI channel and CC map) printed, kept in a file of its 34 bytes in record
// order, or put back from such a file.
//
// A file to load is checked before anything is sent: it must be exactly 34
// bytes and hold only what the settings panels could have produced (CC
// numbers 0..99, each used once, AUX action codes 0..15 or 255 for no selection); otherwise it is a
// bad file (status 2) and the pedal is not even asked.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/PresetData.h"
#include "ops/Settings.h"
#include "platform/AtomicFile.h"
#include "platform/SafeFile.h"
#include "settings/GlobalsRecord.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

std::optional<GlobalsRecord> read_from_pedal(Session& s)
{
    if (!s.connect()) return std::nullopt;
    std::optional<GlobalsRecord> r = ops::read_globals(s.link());
    if (!r) s.err("korvane globals: the pedal did not send its global settings.");
    return r;
}

// The settings as one object (docs/formats.md): AUX actions by contact, the
// panel's settings, and the CC number of each MIDI function by its name.
nlohmann::json globals_json(const GlobalsRecord& r)
{
    nlohmann::json aux = nlohmann::json::object();
    for (size_t c = 0; c < kAuxContacts; ++c) {
        const std::string_view name = aux_action_name(r.bytes[c]);
        aux[json_key(aux_contact_name(AuxContact(c)))] = {
            {"code", r.bytes[c]}, {"action", name.empty() ? nlohmann::json(nullptr) : nlohmann::json(std::string(name))}};
    }
    nlohmann::json cc = nlohmann::json::object();
    for (int k = 0; k < kCcFunctionCount; ++k) cc[json_key(cc_function_name(k))] = r.cc(k);
    return {{"aux", aux},
            {"favourite_preset", favourite_name(r.favourite())},
            {"preset_pages", r.pages_index() + 1},
            {"input_pad_6db", r.pad_6db()},
            {"midi_channel", r.channel_index() + 1},
            {"footswitch_bx_tap_tempo", r.tap_tempo()},
            {"tempo_led_blinking", !r.blinking_off()},
            {"cc", cc}};
}

int show(Session& s)
{
    if (s.args.size() != 1) return s.usage_error(*find_command("globals"), "globals show takes no file");
    const std::optional<GlobalsRecord> r = read_from_pedal(s);
    if (!r) return kFailed;
    if (s.json) {
        s.out(json_text(globals_json(*r)));
        return kOk;
    }
    for (const std::string& line : describe(*r)) s.out(line);
    return kOk;
}

int save(Session& s)
{
    if (s.args.size() != 2) return s.usage_error(*find_command("globals"), "globals save needs one FILE");
    const std::string& path = s.args[1];
    if (!s.output_target_ok(*find_command("globals"), path)) return kUsage;
    const std::optional<GlobalsRecord> r = read_from_pedal(s);
    if (!r) return kFailed;
    if (path == "-") return s.out_bytes(r->bytes) ? kOk : kFailed;
    const WriteResult written = write_file_atomically(path, r->bytes);
    if (!written) {
        s.err("korvane globals: " + written.message());
        return kFailed;
    }
    s.out("Global settings saved to " + path + " (" + std::to_string(kGlobalsRecordSize) + " bytes).");
    return kOk;
}

int load(Session& s)
{
    if (s.args.size() != 2) return s.usage_error(*find_command("globals"), "globals load needs one FILE");
    const std::string path = input_name(s.args[1]);
    // Anything but a small regular file is refused before it is read.
    const FileRead file = read_input(s.args[1], kSmallTextFileLimit);
    if (!file) {
        s.err("korvane globals: " + read_failure_message(path, file.error));
        return kUsage;
    }
    if (file.bytes.size() != kGlobalsRecordSize) {
        s.err("korvane globals: " + path + " holds " + std::to_string(file.bytes.size()) +
              " bytes; a global settings file holds " + std::to_string(kGlobalsRecordSize) + ".");
        return kUsage;
    }
    GlobalsRecord record;
    std::memcpy(record.bytes.data(), file.bytes.data(), kGlobalsRecordSize);
    const std::vector<std::string> problems = record_problems(record);
    if (!problems.empty()) {
        for (const std::string& p : problems) s.err("korvane globals: " + path + ": " + p + ".");
        s.err("korvane globals: nothing was sent.");
        return kUsage;
    }
    if (!s.confirm("Overwrite the pedal's global settings with " + path + "?")) return s.declined();
    if (!s.connect()) return kFailed;

    switch (ops::load_globals(s.link(), record)) {
    case ops::LoadOutcome::Verified:
        s.out("Global settings loaded from " + path + " and verified.");
        return kOk;
    case ops::LoadOutcome::WriteFailed:
        s.err("korvane globals: the global settings could not be sent to the pedal.");
        break;
    case ops::LoadOutcome::ReadBackFailed:
        s.err("korvane globals: sent, but the pedal did not answer when read back; check with `korvane globals show`.");
        break;
    case ops::LoadOutcome::Mismatch:
        s.err("korvane globals: the pedal holds other settings than those sent.");
        break;
    }
    return kFailed;
}

} // namespace

int cmd_globals(Session& s)
{
    if (s.args.empty()) return s.usage_error(*find_command("globals"), "globals needs show, save or load");
    const std::string& what = s.args[0];
    if (what == "show") return show(s);
    if (what == "save") return save(s);
    if (what == "load") return load(s);
    return s.usage_error(*find_command("globals"), "unknown globals action '" + what + "'");
}

} // namespace kv::cli
