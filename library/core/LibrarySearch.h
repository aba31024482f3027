#pragma once
// Finding presets in the library: the rows the Library page and
// `korvane presets list` show, a search over them and their order. Pure
// functions over prepared rows; no files, no toolkit.
//
// A row carries what is shown (name, both algorithm names, tags, favourite,
// date added) and, prepared once, the lower-cased text a search looks in
// (name, algorithm names, tags, notes), so that filtering 100,000 rows as
// the user types is one pass of substring searches.

#include "library/core/LibraryMeta.h"
#include "preset/PresetRecord.h"

#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct LibraryRow {
    std::string name;
    std::string title;
    std::string algorithm_x;   // catalogue code, "" when the file could not be read
    std::string algorithm_y;
    std::vector<std::string> tags;
    std::string notes;
    bool favourite = false;
    std::string added;
    size_t entry = 0;          // index into the offline list
    std::string haystack;      // lower-cased name, algorithms, tags, notes
};

// The row of a library entry: the record gives the algorithms (no record: a
// file that could not be read), the metadata the rest.
LibraryRow make_library_row(size_t entry, const std::string& name, const PresetRecord* record, const PresetMeta* meta);

class OfflineLibrary;
// One row per entry of the offline list, in the list's order.
std::vector<LibraryRow> library_rows(const OfflineLibrary& library, const LibraryMeta& meta);

enum class LibraryColumn { Name, AlgorithmX, AlgorithmY, Tags, Favourite, Added };

struct LibraryQuery {
    std::string text;          // every blank-separated word must occur (letter case ignored)
    std::string tag;           // rows with this tag only (letter case ignored); empty: any
    bool favourites_only = false;
    LibraryColumn sort = LibraryColumn::Name;
    bool descending = false;
};

// The indices of the rows that match, in the query's order. Ties keep the
// library's order (stable).
std::vector<size_t> find_rows(const std::vector<LibraryRow>& rows, const LibraryQuery& query);

// Tags in the rows, sorted, each once (for the tag filter).
std::vector<std::string> all_tags(const std::vector<LibraryRow>& rows);

}  // namespace kv
