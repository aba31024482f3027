#pragma once
// What --json prints. Every command's JSON has one shape (docs/formats.md):
// an object or a list, keys in snake_case, numbers as numbers, booleans as
// booleans, indented by two blanks; a failure is {"error": CODE, "message":
// TEXT} on one line. Titles from the pedal may hold any byte: bytes above
// 0x7F are taken as the code points U+0080..U+00FF and control characters are
// escaped, so the output is always valid UTF-8 JSON.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <string_view>

namespace kv::cli {

// The indented text of a JSON value; text that is not UTF-8 is replaced
// (U+FFFD) rather than refused.
inline std::string json_text(const nlohmann::json& j)
{
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A pedal's bytes (a title) as UTF-8: each byte one code point.
inline std::string pedal_text(std::string_view bytes)
{
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// "a" -> "\"a\"", on one line.
inline std::string json_string(std::string_view text) { return nlohmann::json(pedal_text(text)).dump(); }

// "\"name\": value"
inline std::string json_member(std::string_view name, const std::string& value)
{
    return json_string(name) + ": " + value;
}

// "CC X-SP 1" -> "cc_x_sp_1": a label as a snake_case key.
inline std::string json_key(std::string_view label)
{
    std::string out;
    for (char c : label) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum) out += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        else if (c == '+' ) out += "_plus_";
        else if (!out.empty() && out.back() != '_') out += '_';
    }
    std::string squeezed;
    for (char c : out)
        if (c != '_' || (!squeezed.empty() && squeezed.back() != '_')) squeezed += c;
    while (!squeezed.empty() && squeezed.back() == '_') squeezed.pop_back();
    return squeezed;
}

} // namespace kv::cli
