#pragma once
// The MIDI CC mapping panel ("M I D I  C C #  M A P P I N G"), shown over
// the editor from the main menu: the channel the pedal listens on and the CC
// number of each of its 29 MIDI functions.
//
// The panel keeps its own working copy of the CC map. A field's edit is
// taken when the field commits (Enter, or leaving it): the text is read as a
// number clamped to 0..99, and a number another function already holds is
// refused with an alert and the field shows its previous number again. So the
// working copy never holds a CC number twice.
//
// Confirm and Cancel reach the main window through on_answer, and an
// opening whose read failed turns Confirm off, as on the global settings
// panel (config/KV_ConfPanel.h).

#include "config/KV_ConfPanel.h"
#include "settings/GlobalsRecord.h"

#include <array>

class Fl_Button;
class Fl_Choice;
class Fl_Int_Input;

namespace kv {

class KV_MidiConfPanel : public KV_ConfPanel {
public:
    KV_MidiConfPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_MidiConfPanel() override;
    void draw() override;

    // The channel and the CC map from a record read from the pedal.
    void load(const MidiSettings& s);
    // Copies a map into the working copy and shows each number.
    void load_cc_map(const CcMap& map);
    MidiSettings settings() const;
    const CcMap& cc_map() const { return map_; }

    // Takes the text of row k's field as an edit of that row (what the
    // field's callback does).
    void commit_field(int row);

    // The help text of the "?" button.
    static const char* help_text();

    std::array<Fl_Int_Input*, kCcFunctionCount> cc_fields{};
    Fl_Choice* channel_list = nullptr;
    Fl_Button* help_button = nullptr;
private:
    void show_number(int row);
    static void field_cb(Fl_Widget*, void*);
    static void help_cb(Fl_Widget*, void*);

    CcMap map_{};
};

} // namespace kv
