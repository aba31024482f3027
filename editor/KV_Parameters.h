#pragma once
// The " Dashboard " tab: the parameter editor for the preset being edited.
// For each engine (DSP-Y on the left half, DSP-X on the right) the algorithm
// menu, the engage button, the tap-divide list, the three knobs (slider and
// typed value) and the three secondary-parameter lists; for the preset the
// routing, Pre/Post, master volume and a button that swaps the engines.
//
// The panel owns the current parameter block (`params`) and the two working
// program images, and keeps them consistent with the controls: every edit
// updates the block at once. While `live` is set, each edit then tells the
// owner what to send through on_preview, one request per call, with the
// pauses the pedal needs between transfers taken on the panel's Clock (see
// set_clock). Loading a
// block or swapping the engines runs with `live` cleared, so loading never
// sends anything. A slider edit is committed (a request) once, when the mouse
// button is released over it.
//
// Algorithm bytes and option codes from files or the pedal are outside
// input: an algorithm byte outside 0 to 37 loads as "TRMOLO" and every code
// is brought into its list on loading (preset/ProgramImage.h gives the same
// result without the toolkit), so no control or table is indexed with them.

#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"
#include "preset/PreviewRequest.h"
#include "preset/ProgramPatcher.h"

#include <FL/Fl_Group.H>

#include <functional>
#include <string>

class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Int_Input;
class Fl_PNG_Image;
class Fl_Widget;

namespace kv {

class Clock;
class Scrollbar;
class Slider;

class KV_Parameters : public Fl_Group {
public:
    KV_Parameters(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_Parameters() override;
    KV_Parameters(const KV_Parameters&) = delete;
    KV_Parameters& operator=(const KV_Parameters&) = delete;

    void draw() override;
    // Rotary-speaker keyboard control: left Shift ties the two engines' knobs
    // together while held, Control toggles both rotor speeds.
    int handle(int event) override;

    // The pauses between consecutive requests are taken on this clock (the
    // system clock until set).
    void set_clock(Clock& clock) { clock_ = &clock; }

    // Makes the panel show and hold a parameter block, repairing what the
    // controls cannot show (see preset/ProgramImage.h, loaded_parameters) and
    // rebuilding both programs. Sends nothing.
    void load_parameters(const PresetParameters& block);
    void load_parameters(const uint8_t* bytes35);
    // The same with the preset's title (the 47 bytes a preset read returns).
    void load_record(const PresetRecord& record);
    void load_record(const uint8_t* bytes47);

    // The SWAP button: the engines exchange algorithms, knobs, options, tap
    // divides, engage states and expression levels; then the block and both
    // programs are requested, live or not.
    void swap_engines();

    // Puts combo template 1 to 3 (preset/ComboTemplates.h) on the engines:
    // both engines engaged (no request), then DSP-X's and DSP-Y's algorithm
    // picked as the menus would, which requests the previews while live.
    // Returns false, changing nothing, for any other item.
    bool apply_template(int item);

    // Puts option list `sp` (0 to 2) of an engine on `position` and takes it
    // as a pick of the user's would (code, focus, patched program, labels),
    // but asks for no preview: for the owner when another page chooses an
    // option, such as the arp page's sequence (SP1). A position outside the
    // list is brought into it.
    void set_option(Engine e, int sp, int position);

    // The controls a combo template sets (swap, both speed sliders and their
    // value inputs) are made inactive while the template chooser is open.
    void set_template_controls_active(bool active);
    bool template_controls_active() const { return template_controls_active_; }

    // Number of blocks loaded so far (a read that changed nothing still counts).
    int loads() const { return loads_; }

    // What to send after an edit (while `live`, and for swaps and templates).
    std::function<void(PreviewRequest)> on_preview;

    // The rotary tips message; the toolkit's message box unless replaced.
    std::function<void(const char* text)> show_tips;
    static const char* const kRotaryTips;

    // --- state the owner reads ---
    PresetParameters params{};
    PresetTitle title{};
    bool has_title = false;
    DspProgram program_x{};
    DspProgram program_y{};
    bool live = true;
    bool link = false;                 // left Shift held while an engine runs HORN or DRUM
    int combination = 0;               // 0 none, 1 rotary, 2 vinyl, 3 junk
    uint8_t remembered_routing = 0;    // routing bits (0x00, 0x04, 0x08) the user last chose
    int last_sp_value = 0;             // code, parameter (0-2) and engine (0 X, 1 Y) of the last option edit
    int last_sp_index = 0;
    int last_sp_engine = 0;
    int current_algorithm_x = kDefaultAlgorithmX;
    int current_algorithm_y = kDefaultAlgorithmY;
    int option_count_x[3] = {};
    int option_count_y[3] = {};
    bool library_ok = true;            // the algorithm library was read in full

    // --- controls ---
    Fl_Button* swap_button = nullptr;
    Fl_Button* tips_button = nullptr;
    Fl_Check_Button* engage_button_y = nullptr;
    Fl_Check_Button* engage_button_x = nullptr;
    Fl_Check_Button* pre_button = nullptr;
    Fl_Check_Button* post_button = nullptr;
    Fl_Check_Button* cascade_button = nullptr;
    Fl_Check_Button* mixture_button = nullptr;
    Fl_Check_Button* split_button = nullptr;
    Fl_Box* routing_box = nullptr;
    Fl_Choice* algorithm_menu_y = nullptr;
    Fl_Choice* algorithm_menu_x = nullptr;
    Fl_Choice* tap_list_y = nullptr;
    Fl_Choice* tap_list_x = nullptr;
    Scrollbar* volume_bar = nullptr;
    Fl_Int_Input* volume_text = nullptr;
    Slider* knob_y[3] = {};
    Slider* knob_x[3] = {};
    Fl_Int_Input* knob_text_y[3] = {};
    Fl_Int_Input* knob_text_x[3] = {};
    Fl_Choice* sp_y[3] = {};
    Fl_Choice* sp_x[3] = {};
    Fl_Box* sp_label_y[3] = {};
    Fl_Box* sp_label_x[3] = {};
    Fl_Box* knob_label_y[3] = {};
    Fl_Box* knob_label_x[3] = {};

    // Per-engine views of the controls above.
    Fl_Choice* algorithm_menu(Engine e) const { return e == Engine::X ? algorithm_menu_x : algorithm_menu_y; }
    Fl_Choice* tap_list(Engine e) const { return e == Engine::X ? tap_list_x : tap_list_y; }
    Fl_Check_Button* engage_button(Engine e) const { return e == Engine::X ? engage_button_x : engage_button_y; }
    Slider* knob(Engine e, Knob k) const { return (e == Engine::X ? knob_x : knob_y)[index_of(k)]; }
    Fl_Int_Input* knob_text(Engine e, Knob k) const { return (e == Engine::X ? knob_text_x : knob_text_y)[index_of(k)]; }
    Fl_Choice* sp_list(Engine e, int sp) const { return (e == Engine::X ? sp_x : sp_y)[sp]; }
    Fl_Box* sp_label(Engine e, int sp) const { return (e == Engine::X ? sp_label_x : sp_label_y)[sp]; }
    Fl_Box* knob_label(Engine e, Knob k) const { return (e == Engine::X ? knob_label_x : knob_label_y)[index_of(k)]; }
    DspProgram& program(Engine e) { return e == Engine::X ? program_x : program_y; }
    int current_algorithm(Engine e) const { return e == Engine::X ? current_algorithm_x : current_algorithm_y; }

    // The menu callbacks, as a click runs them (also what loading, swapping
    // and the templates run).
    void algorithm_picked(Engine e);
    void knob_moved(Engine e, Knob k);
    void knob_typed(Engine e, Knob k);
    void sp_picked(Engine e, int sp);
    void tap_picked(Engine e);
    void engage_pressed(Engine e);
    void routing_pressed(Routing r);
    void pre_post_pressed(bool post);
    void volume_moved();
    void volume_typed();

private:
    void build_controls(int ox, int oy);
    void build_engine(Engine e, int ox, int oy);
    void build_option_lists(Engine e);
    void set_base_labels(Engine e);
    void set_labels(Engine e);
    void set_speed_scale(Engine e, bool was_tempo);
    void show_knobs(Engine e);
    void show_routing(uint8_t routing);
    void show_engaged(Engine e);
    void apply_combination(Engine e);
    void rotor_follows(Engine e, Knob k);
    uint16_t store_knob(Engine e, Knob k, double position);
    void set_knob_text(Engine e, Knob k, int value);
    void show_volume(int position);
    void request(PreviewRequest r);
    void pause_ms(int ms);
    void repaint();
    void repaint_area(int x, int y, int w, int h);
    int& current_algorithm_ref(Engine e) { return e == Engine::X ? current_algorithm_x : current_algorithm_y; }
    int* option_count(Engine e) { return e == Engine::X ? option_count_x : option_count_y; }
    void draw_engine_marks(Engine e);

    static void widget_cb(Fl_Widget* w, void* data);
    void dispatch(Fl_Widget* w);

    ProgramPatcher patcher_;
    AlgorithmLibrary library_;
    Clock* clock_ = nullptr;
    Fl_PNG_Image* banner_rotary_ = nullptr;
    Fl_PNG_Image* banner_vinyl_ = nullptr;
    Fl_PNG_Image* banner_junk_ = nullptr;
    Fl_PNG_Image* tips_image_ = nullptr;
    bool template_controls_active_ = true;
    int loads_ = 0;
};

} // namespace kv
