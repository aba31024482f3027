#pragma once
// The preset pages panel: the pedal's 32 program slots (16 banks of patches A
// and B) on four pages of eight, in a vertically scrolling list. Each row has
// the program label, the bank button that selects the slot, the preset name
// field and the S (auto stomp) and B (bypass on program change) switches.
//
// The panel talks only to its owner: every user action ends in on_request,
// a SlotRequest saying what happened and to which slots, and the owner
// decides what is read from or written to the pedal.

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Scroll.H>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct Fl_Menu_Item;

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

    // What the panel tells its owner.
    enum class SlotEvent : int {
        slot_selected = 0,   // the user selected a slot (current_slot): the owner reads it
        stomp_toggled = 1,   // the selected slot's S switch changed (flags bit 6)
        bypass_toggled = 2,  // the selected slot's B switch changed (flags bit 5)
        slot_copy = 3,       // the row menu asked to copy slots.from over slots.to
        slot_swap = 4,       // the row menu asked to swap slots.from and slots.to
        slot_drop = 5,       // slots.from was dragged onto slots.to: the owner asks what to do
        slot_export = 6,     // the row menu asked to export slots slots.from to slots.to
    };
    struct SlotAction {
        int from = -1;
        int to = -1;
    };
    struct SlotRequest {
        SlotEvent event = SlotEvent::slot_selected;
        SlotAction slots;   // the copy, swap, drop and export events
    };
    std::function<void(const SlotRequest&)> on_request;
    static constexpr uint8_t kStompMask = bits::kAutoStomp;
    static constexpr uint8_t kBypassMask = bits::kBypassOnPc;

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

    // Up/Down on the list: the slot `delta` rows from the selected one is
    // picked as a click on its bank button picks it (asked first through
    // may_select, then read by the owner), gets the focus and is scrolled
    // into view. False when there is no such slot or it cannot be picked.
    bool step_selection(int delta);

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
    // `flags` with the bit of the switch the event names set from the
    // selected slot's switch (S: bit 6 only, B: bit 5 only; otherwise unchanged).
    uint8_t apply_toggle(SlotEvent toggled, uint8_t flags) const;

    // edit_name as text (12 characters, space-padded).
    std::string edit_name_text() const;

    // --- reorganising slots ---
    // A right click on a row whose preset has been read opens a menu with
    // "Copy to" and "Swap with" submenus listing the other slots, then
    // "Export this preset..." and "Export all 32 presets..." (slot_export). The pick is
    // handed to the owner as a slot_copy or slot_swap request; the panel
    // itself changes nothing.
    // Asks the owner for a copy, swap or drop, as the menu does.
    void request_slot_action(SlotEvent event, int from, int to);
    // Dragging a row by its program label ("PC.n") onto another row that
    // has been read reports slot_drop; the owner asks "Move here", "Swap",
    // "Copy" or "Cancel".
    // The row under window point (x, y), or -1.
    int row_at(int x, int y) const;
    // Shows the menu of row `index` at (x, y) and runs what is picked.
    void open_slot_menu(int index, int x, int y);
    // The menu's pop-up; null: the toolkit's (tests replace it).
    using MenuPopup = std::function<const Fl_Menu_Item*(const Fl_Menu_Item* menu, int x, int y)>;
    MenuPopup menu_popup;
    int handle(int event) override;

    // Asked before a click selects another slot (index 0 to 31): false keeps
    // the current selection and tells the owner nothing. Null: always allowed.
    std::function<bool(int index)> may_select;

    // The mark beside the selected slot's program label that says the edited
    // preset differs from what the slot holds.
    void set_unsaved_mark(bool on);
    bool unsaved_mark() const { return marked_slot_ >= 0; }

    // Fields, in this order.
    std::array<Fl_Box*, kPages> page_titles{};
    int current_slot = 0;
    PresetTitle edit_name{};   // 12 characters, space-padded, no terminator
    std::array<Slot, kSlots> slots{};

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
    void report(SlotEvent event, SlotAction range);
    void name_edited(int index);
    void show_name(int index);

    void set_program_label(int index, bool marked);

    std::array<PresetTitle, kSlots> names_{};
    int drag_from_ = -1;   // the row whose label the mouse went down on
    int marked_slot_ = -1;
};

} // namespace kv
