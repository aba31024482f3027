#pragma once
// The main window's status board as the tests read it: its lines without the
// "[hh:mm:ss] :" stamp, and whether one of them is a given text. board_lines
// and board_has take the window (anything whose text_board gives contents()).

#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

constexpr size_t kBoardStampLength = 12;   // "[hh:mm:ss] :"

inline std::vector<std::string> stamped_lines(std::string_view contents)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < contents.size()) {
        size_t nl = contents.find('\n', start);
        if (nl == std::string_view::npos) nl = contents.size();
        const std::string_view line = contents.substr(start, nl - start);
        out.emplace_back(line.size() >= kBoardStampLength ? line.substr(kBoardStampLength) : line);
        start = nl + 1;
    }
    return out;
}

inline bool has_stamped_line(std::string_view contents, std::string_view text)
{
    for (const auto& l : stamped_lines(contents))
        if (l == text) return true;
    return false;
}

template <class Window>
std::vector<std::string> board_lines(const Window& w)
{
    return stamped_lines(w.text_board->contents());
}

template <class Window>
bool board_has(const Window& w, std::string_view text)
{
    return has_stamped_line(w.text_board->contents(), text);
}

// How many dialogs of a kind ("alert", "message", ...) a recording shows.
template <class Dialogs>
int count_kind(const Dialogs& d, std::string_view kind)
{
    int n = 0;
    for (const auto& s : d.shown)
        if (s.kind == kind) ++n;
    return n;
}

} // namespace kv::test
