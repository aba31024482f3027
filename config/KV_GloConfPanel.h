#pragma once
// The global settings panel ("G L O B A L   S E T T I N G"), shown over the
// editor from the main menu: what each contact of an AUX footswitch does, the
// favourite preset, the number of preset pages, the input pad, what
// footswitch B/X does and whether the tempo LED blinks.
//
// The panel only holds controls. The main window opens it (reads the pedal,
// load()s the panel, shows it) and hears Confirm or Cancel through on_answer
// (config/KV_ConfPanel.h). Controls keep their state between showings:
// Cancel undoes nothing, and an opening whose read failed shows what was left.

#include "config/KV_ConfPanel.h"
#include "settings/GlobalsRecord.h"

#include <array>

class Fl_Check_Button;
class Fl_Choice;

namespace kv {

class KV_GloConfPanel : public KV_ConfPanel {
public:
    KV_GloConfPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_GloConfPanel() override;
    void draw() override;

    // The controls from a record read from the pedal; the favourite-list
    // rule runs after. An action code outside the list leaves its list empty.
    void load(const GlobalSettings& s);
    // What the controls show (an empty list gives kAuxNoSelection).
    GlobalSettings settings() const;

    std::array<Fl_Choice*, kAuxContacts> aux_lists{};   // TIP, TIP + RING, RING
    Fl_Choice* fave_list = nullptr;
    Fl_Choice* pages_list = nullptr;
    Fl_Check_Button* pad_0db_button = nullptr;
    Fl_Check_Button* pad_6db_button = nullptr;
    Fl_Check_Button* preset_button = nullptr;
    Fl_Check_Button* tap_tempo_button = nullptr;
    Fl_Check_Button* blinking_off_button = nullptr;
private:
    void apply_favourite_rule();
    static void aux_cb(Fl_Widget*, void*);
    static void pair_cb(Fl_Widget*, void*);
};

} // namespace kv
