#pragma once
// The global settings panel ("G L O B A L   S E T T I N G"), shown over the
// editor from the main menu: what each contact of an AUX footswitch does, the
// favourite preset, the number of preset pages, the input pad, what
// footswitch B/X does and whether the tempo LED blinks.
//
// The panel only holds controls. The main window opens it (reads the pedal,
// load()s the panel, shows it) and, when the panel calls back, tells Confirm
// from Cancel by confirm_pressed(), which is true only during the callback of
// Confirm. Controls keep their state between showings: Cancel undoes nothing,
// and an opening whose read failed shows what was left.
//
// An opening whose read failed turns Confirm off (set_confirm_allowed): the
// panel then holds values the pedal may no longer have, and sending them
// would overwrite whatever was changed on the pedal meanwhile.

#include "settings/GlobalsRecord.h"
#include "widgets/DialogHooks.h"

#include <FL/Fl_Group.H>

#include <array>

class Fl_Button;
class Fl_Check_Button;
class Fl_Choice;

namespace kv {

class KV_GloConfPanel : public Fl_Group {
public:
    KV_GloConfPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_GloConfPanel() override;
    void draw() override;

    // The controls from a record read from the pedal; the favourite-list
    // rule runs after. An action code outside the list leaves its list empty.
    void load(const GlobalSettings& s);
    // What the controls show (an empty list gives kAuxNoSelection).
    GlobalSettings settings() const;

    void set_confirm_allowed(bool allowed);
    bool confirm_allowed() const { return confirm_allowed_; }
    // True while the panel's callback runs for Confirm.
    bool confirm_pressed() const;

    std::array<Fl_Choice*, kAuxContacts> aux_lists{};   // TIP, TIP + RING, RING
    Fl_Choice* fave_list = nullptr;
    Fl_Choice* pages_list = nullptr;
    Fl_Check_Button* pad_0db_button = nullptr;
    Fl_Check_Button* pad_6db_button = nullptr;
    Fl_Check_Button* preset_button = nullptr;
    Fl_Check_Button* tap_tempo_button = nullptr;
    Fl_Check_Button* blinking_off_button = nullptr;
    Fl_Button* confirm_button = nullptr;
    Fl_Button* cancel_button = nullptr;

    DialogHooks dialogs;

private:
    void apply_favourite_rule();
    static void aux_cb(Fl_Widget*, void*);
    static void pair_cb(Fl_Widget*, void*);
    static void confirm_cb(Fl_Widget*, void*);
    static void cancel_cb(Fl_Widget*, void*);

    bool confirm_allowed_ = true;
};

} // namespace kv
