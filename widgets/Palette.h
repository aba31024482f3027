#pragma once
// The colours the window and its panels share.

#include <FL/Enumerations.H>

namespace kv {

constexpr Fl_Color kDarkColor = 0x2c2c2c00;     // header, side panel, tab page backgrounds
constexpr Fl_Color kAccentColor = 0xffcc0000;   // tabs, WRITE, engine names, preset title
constexpr Fl_Color kLevelColor = 0x8ed3d300;    // level bars, ENGAGED, "Read complete"
constexpr Fl_Color kSoftTextColor = 0xcccccc00; // secondary text on the dark pages
constexpr Fl_Color kRuleColor = 0x87878700;     // page headings and the rules under them

} // namespace kv
