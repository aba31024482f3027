#pragma once
// The readable sharing format, ".tessivar.json": a list of presets that can
// be read and compared in a text editor and imported again byte for byte.
// docs/formats.md describes it field by field, with an example.
//
// Each preset carries its library name, its 12-character title, tags and
// notes, the exact 47-byte record as 94 hexadecimal digits, and the record
// decoded by name: algorithm names, knob values in the units the Dashboard
// shows, options by their labels, routing, volume and switches.
//
// Import takes the record and nothing else: the decoded fields are there to
// be read. A preset is refused, with the reason, when
//   - it has no record, or the record is not 94 hexadecimal digits;
//   - its decoded fields disagree with its record (someone edited a value in
//     the text expecting it to count: importing the record would silently
//     undo that edit, so the preset is refused and the first disagreeing
//     field is named); fields left out of "decoded", and fields this program
//     does not know, are not compared;
//   - its record breaks the editor's rules (preset/RecordCheck.h).
// The other presets of the file still import.
//
// Toolkit-free; errors are values.

#include "library/core/LibraryMeta.h"
#include "preset/PresetRecord.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

constexpr const char* kSharingExtension = ".tessivar.json";
constexpr size_t kSharingFileReadLimit = 64u << 20;

struct SharedPreset {
    std::string name;     // library name (cleaned on import)
    PresetRecord record{};
    std::vector<std::string> tags;
    std::string notes;
    bool favourite = false;
};

// The file's text for these presets.
std::string encode_sharing_file(const std::vector<SharedPreset>& presets);

// The record decoded by name, as the file shows it (a JSON object's text).
std::string decoded_record_json(const PresetRecord& record);

struct SharingImport {
    bool ok = false;                       // the file was understood as a whole
    std::string error;                     // why not (not JSON, not this format)
    std::vector<SharedPreset> presets;     // the presets that can be imported
    std::vector<std::string> refused;      // "preset 3 (\"Big Chorus\"): ...", one a refused preset
};
SharingImport decode_sharing_file(std::string_view text);
// Reads the file through the limited reader, then decodes it.
SharingImport read_sharing_file(const std::string& path);

// A library name for `wanted` that no entry of `taken` has (letter case
// ignored): the cleaned name, or with " (2)", " (3)" ... (the name shortened
// to keep within 38 characters). Empty when the cleaned name is refused.
std::string free_preset_name(std::string_view wanted, const std::vector<std::string>& taken);
// The same with a test for a taken name (for 100,000 names at once).
std::string free_preset_name_where(std::string_view wanted, const std::function<bool(const std::string&)>& is_taken);

class OfflineLibrary;
class LibraryMeta;

struct LibraryImport {
    struct Imported {
        std::string wanted;   // the name the file gave
        std::string name;     // the name in the library
    };
    std::vector<Imported> imported;
    std::vector<std::string> errors;     // presets that could not be stored, with the reason
    std::vector<std::string> warnings;   // stored, but the list could not be rewritten
};
// Stores each preset in the library under a free name (free_preset_name)
// with its tags, notes and favourite and `added` as its date. A name is free
// when no entry has it (letter case ignored) and no file of that name lies
// in the folder: a preset file nobody lists (left by a killed program) is
// never written over. Meant to run inside LibraryStore::change, which writes
// the list and the metadata once; `progress` hears (done, total) now and then.
LibraryImport import_into_library(const std::vector<SharedPreset>& presets, OfflineLibrary& library, LibraryMeta& meta,
                                  const std::string& added,
                                  const std::function<void(size_t, size_t)>& progress = {});

// The presets of library entries, with their metadata (entries whose file
// could not be read are left out and named in `skipped`).
std::vector<SharedPreset> shared_presets_of(const OfflineLibrary& library, const LibraryMeta& meta,
                                            const std::vector<size_t>& entries, std::vector<std::string>* skipped);

}  // namespace kv
