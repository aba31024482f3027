#pragma once
// Text the toolkit draws as a label or as a dialog's message goes through its
// symbol parsing: an '@' starts a symbol, and the last '@' of a text takes
// everything after it ("support@brakwell.com" shows as "support"). Text of
// ours or of the user's that may hold an '@' is handed over through
// literal_label(), which doubles every '@'; the toolkit draws "@@" as one.

#include <string>

namespace kv {

inline std::string literal_label(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        out += c;
        if (c == '@') out += '@';
    }
    return out;
}

} // namespace kv
