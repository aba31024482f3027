#pragma once
// The preset pages panel: the pedal's 32 program slots (16 banks of patches A
// and B) on four pages of eight, in a vertically scrolling list. Each row has
// the program label, the bank button that selects the slot, the preset name
// field and the S (auto stomp) and B (bypass on program change) switches.
//
// The panel talks only to its owner: every user action ends in the panel's
// callback (set with callback(), user data the owner) with `toggle_source`
// saying why, and the owner decides what is read from or written to the pedal.

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Scroll.H>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "preset/PresetRecord.h"

namespace kv {

class Input;

class KV_TransportPanel : public Fl_Scroll {
public:
    static constexpr int kSlots = 32;
    static constexpr int kPages = 4;
    static constexpr int kSlotsPerPage = 8;
    static constexpr int kNameSize = 12;
    static constexpr int kPageHeight = 236;   // header, 8 rows, gap
    // The text every name field shows until a name is set.
    static constexpr const char* kEmptyName = "       < empty >";

    // Why the panel's callback runs (toggle_source).
    enum ToggleSource : int {
        slot_selected = 0,   // the user selected a slot: the owner reads it
        stomp_toggled = 1,   // the selected slot's S switch changed (flags bit 6)
        bypass_toggled = 2,  // the selected slot's B switch changed (flags bit 5)
    };
    static constexpr uint8_t kStompMask = 0x40;
    static constexpr uint8_t kBypassMask = 0x20;

    // One row's widgets, owned by the panel.
    struct Slot {
        Fl_Box* program_label = nullptr;      // "PC.0" .. "PC.31"
        Fl_Button* bank_button = nullptr;     // " 1 - A", "      B", ...
        Input* name_field = nullptr;          // " " + 12 name characters
        Fl_Light_Button* s_switch = nullptr;  // "  S"
        Fl_Light_Button* b_switch = nullptr;  // "  B"
    };

    // The main window builds it at 5, 135, 360 x 470; the content is four
    // pages of kPageHeight pixels and scrolls vertically.
    KV_TransportPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_TransportPanel() override;

    // Makes slot `index` the selected slot: its bank button on, its switches
    // active, its name field white on black and marked `selected`; the
    // previously selected slot goes back to normal. The new slot shows the
    // name of the previous one (the preset still in the editor) until its own
    // name is set. Out-of-range indices are ignored (returns false).
    bool select_slot(int index);

    // Shows a 12-character name in slot `index` (as " " + name), copies it
    // into edit_name and makes the slot's bank button active. Names shorter
    // than 12 characters are padded with spaces, longer ones cut.
    bool set_slot_name(int index, const PresetTitle& name);
    bool set_slot_name(int index, std::string_view name);

    // The name the slot shows (12 characters, without the leading space).
    PresetTitle slot_name(int index) const;

    // --- switches (value 1 = on); the owner may also use the widgets directly ---
    bool stomp_on(int index) const;
    bool bypass_on(int index) const;
    void set_switches(int index, bool stomp, bool bypass);
    // S from bit 6 and B from bit 5 of a preset's flags byte.
    void set_switches_from_flags(int index, uint8_t flags);
    // `flags` with the bit of the switch named by toggle_source set from the
    // selected slot's switch (S: bit 6 only, B: bit 5 only; otherwise unchanged).
    uint8_t apply_toggle(uint8_t flags) const;

    // edit_name as text (12 characters, space-padded).
    std::string edit_name_text() const;

    // Fields, in this order.
    std::array<Fl_Box*, kPages> page_titles{};
    int current_slot = 0;
    PresetTitle edit_name{};   // 12 characters, space-padded, no terminator
    std::array<Slot, kSlots> slots{};
    int toggle_source = slot_selected;

    // Row geometry (relative to the panel), for tests and the owner.
    static int row_y(int index);   // top of slot `index`'s row

private:
    static void bank_cb(Fl_Widget* w, void* data);
    static void stomp_cb(Fl_Widget* w, void* data);
    static void bypass_cb(Fl_Widget* w, void* data);
    static void name_cb(Fl_Widget* w, void* data);

    // The slot whose `member` widget is w, or -1.
    template <class Member>
    int slot_of(const Fl_Widget* w, Member Slot::*member) const;

    void bank_pressed(int index);
    void switch_toggled(int source);
    void name_edited(int index);
    void show_name(int index);

    std::array<PresetTitle, kSlots> names_{};
};

} // namespace kv
