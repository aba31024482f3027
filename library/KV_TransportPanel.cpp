#include "library/KV_TransportPanel.h"

#include <algorithm>

#include <cstring>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>

#include "widgets/Input.h"
#include "widgets/SafeChoice.h"

namespace kv {

namespace {

const char* const kPageHeaders[KV_TransportPanel::kPages] = {"P A G E - 1", "P A G E - 2", "P A G E - 3",
                                                            "P A G E - 4"};
// Bank button labels: bank and patch for A slots, "      B" for every B slot.
const char* const kBankLabels[KV_TransportPanel::kSlots / 2] = {
    " 1 - A", " 2 - A", " 3 - A", " 4 - A", " 5 - A", " 6 - A", " 7 - A", " 8 - A",
    " 9 - A", "10 - A", "11 - A", "12 - A", "13 - A", "14 - A", "15 - A", "16 - A"};
const char* const kBLabel = "      B";

constexpr int kHeaderX = 125;      // page header, from the panel's left edge
constexpr int kFirstRowBelowHeader = 28;
constexpr int kRowPitch = 25;
constexpr int kRowInset = 4;       // rows start 4 pixels inside the panel
constexpr int kBankX = 45;
constexpr int kNameX = 106;
constexpr int kStompX = 236;
constexpr int kBypassX = 286;

std::string shown_text(const PresetTitle& t)
{
    std::string s(" ");
    s.append(t.text, sizeof t.text);
    // The field shows a C string: stop at the first terminator in the name.
    s.resize(std::strlen(s.c_str()));
    return s;
}

// The name a field shows: its text after the leading space.
PresetTitle name_shown_in(const Fl_Input* field)
{
    const char* v = field->value();
    std::string_view text(v ? v : "");
    if (!text.empty()) text.remove_prefix(1);
    return make_title(text);
}

} // namespace

int KV_TransportPanel::row_y(int index)
{
    int page = index / kSlotsPerPage;
    int row = index % kSlotsPerPage;
    return page * kPageHeight + kFirstRowBelowHeader + row * kRowPitch;
}

KV_TransportPanel::KV_TransportPanel(int x, int y, int w, int h, const char* label)
    : Fl_Scroll(x, y, w, h, label)
{
    type(Fl_Scroll::VERTICAL);
    edit_name = make_title("");
    names_.fill(edit_name);

    begin();
    for (int p = 0; p < kPages; ++p) {
        Fl_Box* header = new Fl_Box(x + kHeaderX, y + p * kPageHeight, 100, 30, kPageHeaders[p]);
        header->labelfont(FL_HELVETICA_BOLD_ITALIC);
        header->labelsize(15);
        page_titles[size_t(p)] = header;
    }
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = slots[size_t(i)];
        const int rx = x + kRowInset;
        const int ry = y + row_y(i);

        s.program_label = new Fl_Box(rx, ry, 45, 25);
        set_program_label(i, false);
        s.program_label->labelsize(12);

        s.bank_button = new Fl_Button(rx + kBankX, ry, 65, 25, i % 2 == 0 ? kBankLabels[i / 2] : kBLabel);
        s.bank_button->type(FL_TOGGLE_BUTTON);
        s.bank_button->labelfont(FL_HELVETICA_BOLD);
        s.bank_button->selection_color(FL_BLACK);
        s.bank_button->callback(bank_cb, this);
        s.bank_button->deactivate();

        s.name_field = new Input(rx + kNameX, ry, 125, 25);
        s.name_field->box(FL_BORDER_BOX);
        s.name_field->maximum_size(kNameSize);
        s.name_field->selection_color(FL_BLACK);
        s.name_field->cursor_color(FL_WHITE);
        s.name_field->value(kEmptyName);
        s.name_field->callback(name_cb, this);
        // A changed name is taken on Enter and when the field loses focus.
        s.name_field->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);

        s.s_switch = new Fl_Light_Button(rx + kStompX, ry + 2, 45, 21, "  S");
        s.s_switch->type(FL_TOGGLE_BUTTON);
        s.s_switch->selection_color(FL_RED);
        s.s_switch->callback(stomp_cb, this);
        s.s_switch->deactivate();

        s.b_switch = new Fl_Light_Button(rx + kBypassX, ry + 2, 45, 21, "  B");
        s.b_switch->type(FL_TOGGLE_BUTTON);
        s.b_switch->selection_color(FL_GREEN);
        s.b_switch->callback(bypass_cb, this);
        s.b_switch->deactivate();
    }
    end();
}

// The slot widgets are children of the scroll group, which deletes them.
KV_TransportPanel::~KV_TransportPanel() = default;

bool KV_TransportPanel::select_slot(int index)
{
    if (index < 0 || index >= kSlots) return false;

    Slot& old = slots[size_t(current_slot)];
    old.bank_button->value(0);
    old.name_field->color(FL_WHITE);
    old.name_field->textcolor(FL_BLACK);
    old.name_field->idle_color = FL_WHITE;
    old.name_field->idle_textcolor = FL_BLACK;
    old.name_field->selected = false;
    old.s_switch->deactivate();
    old.b_switch->deactivate();

    // The preset still in the editor keeps its name until the new slot's own
    // name is set (normally by the read that follows).
    PresetTitle remembered = name_shown_in(old.name_field);

    current_slot = index;
    Slot& now = slots[size_t(index)];
    now.bank_button->value(1);
    now.name_field->color(FL_BLACK);
    now.name_field->textcolor(FL_WHITE);
    now.name_field->selected = true;
    now.s_switch->activate();
    now.b_switch->activate();

    set_slot_name(index, remembered);
    redraw();
    return true;
}

bool KV_TransportPanel::set_slot_name(int index, const PresetTitle& name)
{
    if (index < 0 || index >= kSlots) return false;
    names_[size_t(index)] = name;
    edit_name = name;
    Slot& s = slots[size_t(index)];
    s.name_field->value(shown_text(name).c_str());
    s.bank_button->activate();
    s.name_field->redraw();
    return true;
}

bool KV_TransportPanel::set_slot_name(int index, std::string_view name)
{
    return set_slot_name(index, make_title(name));
}

PresetTitle KV_TransportPanel::slot_name(int index) const
{
    if (index < 0 || index >= kSlots) return make_title("");
    return names_[size_t(index)];
}

bool KV_TransportPanel::stomp_on(int index) const
{
    return index >= 0 && index < kSlots && slots[size_t(index)].s_switch->value() != 0;
}

bool KV_TransportPanel::bypass_on(int index) const
{
    return index >= 0 && index < kSlots && slots[size_t(index)].b_switch->value() != 0;
}

void KV_TransportPanel::set_switches(int index, bool stomp, bool bypass)
{
    if (index < 0 || index >= kSlots) return;
    slots[size_t(index)].s_switch->value(stomp ? 1 : 0);
    slots[size_t(index)].b_switch->value(bypass ? 1 : 0);
}

void KV_TransportPanel::set_switches_from_flags(int index, uint8_t flags)
{
    set_switches(index, (flags & kStompMask) != 0, (flags & kBypassMask) != 0);
}

uint8_t KV_TransportPanel::apply_toggle(SlotEvent toggled, uint8_t flags) const
{
    uint8_t mask = 0;
    bool on = false;
    if (toggled == SlotEvent::stomp_toggled) {
        mask = kStompMask;
        on = stomp_on(current_slot);
    } else if (toggled == SlotEvent::bypass_toggled) {
        mask = kBypassMask;
        on = bypass_on(current_slot);
    }
    if (mask == 0) return flags;
    return on ? uint8_t(flags | mask) : uint8_t(flags & ~mask);
}

std::string KV_TransportPanel::edit_name_text() const
{
    return std::string(edit_name.text, sizeof edit_name.text);
}

void KV_TransportPanel::bank_pressed(int index)
{
    if (index == current_slot) {
        // The selected slot clicked again: it stays selected and nothing is read.
        slots[size_t(index)].bank_button->value(1);
        return;
    }
    if (may_select && !may_select(index)) {
        // The owner kept the selection (the user kept an unsaved edit).
        slots[size_t(index)].bank_button->value(0);
        slots[size_t(index)].bank_button->redraw();
        return;
    }
    set_unsaved_mark(false);
    select_slot(index);
    report(SlotEvent::slot_selected, {});
}

void KV_TransportPanel::set_program_label(int index, bool marked)
{
    // "PC.5 *": the mark stands beside the label the row always had.
    std::string text = "PC." + std::to_string(index);
    if (marked) text += " *";
    slots[size_t(index)].program_label->copy_label(text.c_str());
    slots[size_t(index)].program_label->redraw_label();
}

void KV_TransportPanel::set_unsaved_mark(bool on)
{
    const int want = on ? current_slot : -1;
    if (want == marked_slot_) return;
    if (marked_slot_ >= 0) set_program_label(marked_slot_, false);
    marked_slot_ = want;
    if (marked_slot_ >= 0) set_program_label(marked_slot_, true);
}

void KV_TransportPanel::request_slot_action(SlotEvent event, int from, int to)
{
    if ((event != SlotEvent::slot_copy && event != SlotEvent::slot_swap && event != SlotEvent::slot_drop) || from == to ||
        from < 0 || from >= kSlots || to < 0 || to >= kSlots)
        return;
    report(event, {from, to});
}

int KV_TransportPanel::row_at(int x, int y) const
{
    for (int i = 0; i < kSlots; ++i) {
        const Slot& s = slots[size_t(i)];
        const int top = s.program_label->y();
        if (y >= top && y < top + 25 && x >= s.program_label->x() && x < s.b_switch->x() + s.b_switch->w()) return i;
    }
    return -1;
}

void KV_TransportPanel::open_slot_menu(int index, int x, int y)
{
    if (index < 0 || index >= kSlots || !slots[size_t(index)].bank_button->active()) return;
    // Two submenus, "Copy to" and "Swap with", each listing the other slots as
    // "Preset 7 (4-A)   Title". A title is drawn through the toolkit's label
    // rules, so the characters those give a meaning ('@' symbols, '&'
    // shortcuts) and control characters are shown as blanks.
    std::vector<std::string> texts;
    std::vector<std::pair<SlotEvent, int>> picks;   // what, target
    for (int kind = 0; kind < 2; ++kind) {
        for (int t = 0; t < kSlots; ++t) {
            if (t == index) continue;
            std::string title(names_[size_t(t)].text, kNameSize);
            for (char& c : title)
                if (c == '@' || c == '&' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
            while (!title.empty() && title.back() == ' ') title.pop_back();
            std::string item = "Preset " + std::to_string(t + 1) + " (" + std::to_string(t / 2 + 1) + "-" +
                               (t % 2 == 0 ? "A" : "B") + ")";
            if (slots[size_t(t)].bank_button->active() && !title.empty()) item += "   " + title;
            texts.push_back(item);
            picks.emplace_back(kind == 0 ? SlotEvent::slot_copy : SlotEvent::slot_swap, t);
        }
    }
    // The menu as the toolkit's item array: a submenu title, its items and a
    // terminator, twice, then the terminator of the whole menu.
    const size_t per_kind = size_t(kSlots - 1);
    std::vector<Fl_Menu_Item> items;
    for (int kind = 0; kind < 2; ++kind) {
        Fl_Menu_Item title{};
        title.text = kind == 0 ? "Copy to" : "Swap with";
        title.flags = FL_SUBMENU;
        items.push_back(title);
        for (size_t i = 0; i < per_kind; ++i) {
            const size_t k = size_t(kind) * per_kind + i;
            Fl_Menu_Item item{};
            item.text = texts[k].c_str();
            item.user_data_ = reinterpret_cast<void*>(intptr_t(k + 1));
            items.push_back(item);
        }
        items.push_back(Fl_Menu_Item{});
    }
    // Sharing: this preset, or the whole pedal, as a .tessivar.json file.
    picks.emplace_back(SlotEvent::slot_export, index);
    picks.emplace_back(SlotEvent::slot_export, -1);
    for (size_t k = picks.size() - 2; k < picks.size(); ++k) {
        Fl_Menu_Item item{};
        item.text = k + 2 == picks.size() ? "Export this preset..." : "Export all 32 presets...";
        item.user_data_ = reinterpret_cast<void*>(intptr_t(k + 1));
        items.push_back(item);
    }
    items.push_back(Fl_Menu_Item{});

    install_menu_guard();
    const Fl_Menu_Item* menu = items.data();
    const Fl_Menu_Item* picked = menu_popup ? menu_popup(menu, x, y) : menu->popup(x, y);
    if (!picked || picked->user_data() == nullptr) return;
    const size_t which = size_t(reinterpret_cast<intptr_t>(picked->user_data())) - 1;
    if (which >= picks.size()) return;
    if (picks[which].first == SlotEvent::slot_export) {
        // from..to: the slots to export.
        report(SlotEvent::slot_export, picks[which].second < 0 ? SlotAction{0, kSlots - 1} : SlotAction{index, index});
        return;
    }
    request_slot_action(picks[which].first, index, picks[which].second);
}

int KV_TransportPanel::handle(int event)
{
    if (event == FL_PUSH && Fl::event_button() == FL_RIGHT_MOUSE && active_r()) {
        const int row = row_at(Fl::event_x(), Fl::event_y());
        if (row >= 0) {
            open_slot_menu(row, Fl::event_x(), Fl::event_y());
            return 1;
        }
    }
    // Drag and drop by the program label: the label takes no clicks itself.
    if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE && active_r()) {
        const int row = row_at(Fl::event_x(), Fl::event_y());
        if (row >= 0 && slots[size_t(row)].bank_button->active() &&
            Fl::event_x() < slots[size_t(row)].program_label->x() + slots[size_t(row)].program_label->w()) {
            drag_from_ = row;
            return 1;
        }
    }
    if (drag_from_ >= 0 && event == FL_DRAG) {
        if (window()) window()->cursor(FL_CURSOR_MOVE);
        return 1;
    }
    if (drag_from_ >= 0 && event == FL_RELEASE) {
        const int from = drag_from_;
        drag_from_ = -1;
        if (window()) window()->cursor(FL_CURSOR_DEFAULT);
        const int to = row_at(Fl::event_x(), Fl::event_y());
        if (to >= 0 && to != from && slots[size_t(to)].bank_button->active()) request_slot_action(SlotEvent::slot_drop, from, to);
        return 1;
    }
    return Fl_Scroll::handle(event);
}

void KV_TransportPanel::report(SlotEvent event, SlotAction range)
{
    if (on_request) on_request(SlotRequest{event, range});
}

void KV_TransportPanel::show_name(int index)
{
    Slot& s = slots[size_t(index)];
    if (s.bank_button->active())
        s.name_field->value(shown_text(names_[size_t(index)]).c_str());
    else
        s.name_field->value(kEmptyName);
    s.name_field->redraw();
}

void KV_TransportPanel::name_edited(int index)
{
    Input* field = slots[size_t(index)].name_field;
    if (index != current_slot || !field->selected) {
        // Only the selected slot's name is the one stored with the edited
        // preset; an edit anywhere else is undone.
        show_name(index);
        return;
    }
    // Keep the selected look once the pointer leaves the field.
    field->idle_color = FL_BLACK;
    field->idle_textcolor = FL_WHITE;

    // The field shows the name after one space; that space is not part of it.
    const char* v = field->value();
    std::string_view text(v ? v : "");
    if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    edit_name = make_title(text);
    names_[size_t(index)] = edit_name;
    field->value(shown_text(edit_name).c_str());
    redraw();
}

template <class Member>
int KV_TransportPanel::slot_of(const Fl_Widget* w, Member Slot::*member) const
{
    for (int i = 0; i < kSlots; ++i)
        if (slots[size_t(i)].*member == w) return i;
    return -1;
}

bool KV_TransportPanel::step_selection(int delta)
{
    const int target = current_slot + delta;
    if (target < 0 || target >= kSlots || !active_r()) return false;
    Fl_Button* b = slots[size_t(target)].bank_button;
    if (!b->active()) return false;
    bank_pressed(target);
    Fl_Widget* row = slots[size_t(current_slot)].bank_button;
    row->take_focus();
    // Into view, with the row above or below it when there is one.
    const int margin = current_slot == 0 || current_slot == kSlots - 1 ? 0 : row->h();
    const int top = y(), bottom = y() + h();
    if (row->y() - margin < top) scroll_to(xposition(), std::max(0, yposition() - (top - (row->y() - margin))));
    else if (row->y() + row->h() + margin > bottom)
        scroll_to(xposition(), yposition() + (row->y() + row->h() + margin - bottom));
    redraw();
    return current_slot == target;
}

void KV_TransportPanel::bank_cb(Fl_Widget* w, void* data)
{
    auto* self = static_cast<KV_TransportPanel*>(data);
    const int i = self->slot_of(w, &Slot::bank_button);
    if (i >= 0) self->bank_pressed(i);
}

void KV_TransportPanel::stomp_cb(Fl_Widget*, void* data)
{
    static_cast<KV_TransportPanel*>(data)->report(SlotEvent::stomp_toggled, {});
}

void KV_TransportPanel::bypass_cb(Fl_Widget*, void* data)
{
    static_cast<KV_TransportPanel*>(data)->report(SlotEvent::bypass_toggled, {});
}

void KV_TransportPanel::name_cb(Fl_Widget* w, void* data)
{
    auto* self = static_cast<KV_TransportPanel*>(data);
    const int i = self->slot_of(w, &Slot::name_field);
    if (i >= 0) self->name_edited(i);
}

} // namespace kv
