#pragma once
// A page of the main window's tabs that reaches down behind the status board
// row. It paints its own dark background above that strip, which stays the
// window's own, so the maker notice there reads on every tab.

#include <FL/Fl_Group.H>

namespace kv {

class TabPage : public Fl_Group {
public:
    TabPage(int x, int y, int w, int h, const char* label);

    // Height of the strip at the bottom of the page that the window keeps for
    // the status board, its buttons and the maker notice.
    static constexpr int kFooterHeight = 53;

protected:
    // The background, the children, then `heading` centred over a rule.
    void draw_page(const char* heading);
};

} // namespace kv
