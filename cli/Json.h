#pragma once
// What --json prints: a string quoted and escaped for JSON, and the pieces
// of an object. Titles from the pedal may hold any byte; control characters
// are escaped and bytes above 0x7F (not UTF-8 in the pedal's character set)
// become \u00XX, so the output is always valid JSON.

#include <cstdio>
#include <string>
#include <string_view>

namespace kv::cli {

inline std::string json_string(std::string_view text)
{
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", unsigned(c));
            out += b;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// "\"name\": value"
inline std::string json_member(std::string_view name, const std::string& value)
{
    return json_string(name) + ": " + value;
}

inline std::string json_bool(bool b) { return b ? "true" : "false"; }

} // namespace kv::cli
