#include "library/core/LibrarySearch.h"

#include "library/core/OfflinePresets.h"
#include "preset/Catalogue.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace kv {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int compare_text(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string joined(const std::vector<std::string>& tags)
{
    std::string out;
    for (const std::string& t : tags) out += (out.empty() ? "" : ", ") + t;
    return out;
}

}  // namespace

LibraryRow make_library_row(size_t entry, const std::string& name, const PresetRecord* record, const PresetMeta* meta)
{
    LibraryRow r;
    r.entry = entry;
    r.name = name;
    if (record) {
        r.title = title_text(record->title);
        r.algorithm_x = algorithm_code(record->parameters.algorithm_x);
        r.algorithm_y = algorithm_code(record->parameters.algorithm_y);
    }
    if (meta) {
        r.tags = meta->tags;
        r.notes = meta->notes;
        r.favourite = meta->favourite;
        r.added = meta->added;
    }
    std::string hay = name + '\n' + r.algorithm_x + '\n' + r.algorithm_y + '\n';
    for (const std::string& t : r.tags) hay += t + '\n';
    hay += r.notes;
    r.haystack = lower(hay);
    return r;
}

std::vector<LibraryRow> library_rows(const OfflineLibrary& library, const LibraryMeta& meta)
{
    std::vector<LibraryRow> rows;
    rows.reserve(library.size());
    for (size_t i = 0; i < library.size(); ++i) {
        const OfflineEntry& e = library.entries()[i];
        rows.push_back(make_library_row(i, e.name, e.record ? &*e.record : nullptr, meta.find(e.name)));
    }
    return rows;
}

std::vector<size_t> find_rows(const std::vector<LibraryRow>& rows, const LibraryQuery& query)
{
    std::vector<std::string> words;
    {
        const std::string text = lower(query.text);
        size_t i = 0;
        while (i < text.size()) {
            while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
            size_t j = i;
            while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j]))) ++j;
            if (j > i) words.push_back(text.substr(i, j - i));
            i = j;
        }
    }
    const std::string tag = lower(query.tag);

    std::vector<size_t> out;
    out.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const LibraryRow& r = rows[i];
        if (query.favourites_only && !r.favourite) continue;
        if (!tag.empty() &&
            std::none_of(r.tags.begin(), r.tags.end(), [&](const std::string& t) { return lower(t) == tag; }))
            continue;
        bool all = true;
        for (const std::string& w : words)
            if (r.haystack.find(w) == std::string::npos) {
                all = false;
                break;
            }
        if (all) out.push_back(i);
    }

    auto key_compare = [&](size_t a, size_t b) -> int {
        const LibraryRow& x = rows[a];
        const LibraryRow& y = rows[b];
        switch (query.sort) {
        case LibraryColumn::AlgorithmX: return compare_text(x.algorithm_x, y.algorithm_x);
        case LibraryColumn::AlgorithmY: return compare_text(x.algorithm_y, y.algorithm_y);
        case LibraryColumn::Tags: return compare_text(joined(x.tags), joined(y.tags));
        case LibraryColumn::Favourite: return x.favourite == y.favourite ? 0 : (x.favourite ? -1 : 1);
        case LibraryColumn::Added: return x.added.compare(y.added) < 0 ? -1 : (x.added == y.added ? 0 : 1);
        case LibraryColumn::Name:
        default: return compare_text(x.name, y.name);
        }
    };
    std::stable_sort(out.begin(), out.end(), [&](size_t a, size_t b) {
        const int c = key_compare(a, b);
        return query.descending ? c > 0 : c < 0;
    });
    return out;
}

std::vector<std::string> all_tags(const std::vector<LibraryRow>& rows)
{
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (const LibraryRow& r : rows)
        for (const std::string& t : r.tags)
            if (seen.insert(lower(t)).second) out.push_back(t);
    std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return compare_text(a, b) < 0; });
    return out;
}

}  // namespace kv
