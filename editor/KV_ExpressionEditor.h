#pragma once
// The " Expression " tab: which knobs of each engine follow the expression
// pedal or the ramp, their heel and toe levels, and each ramp's speed, for
// the preset being edited. DSP-Y is on the left half, DSP-X on the right.
//
// The page edits a working copy (settings/ExpressionMapping.h) and after
// every edit tells its owner through on_edit which engine the edit
// concerned; the owner commits the copy into the Dashboard's block and
// previews it. Loading never calls the owner: the notify switch is off
// while the controls are filled.
//
// HORN and DRUM may map only one of SPEED and DEPTH. Turning one on while
// the other is on asks first; a load never asks and shows the block as it
// is, since a dialog in the middle of reading a preset would be out of place
// and the block is the pedal's to interpret.

#include "preset/PresetRecord.h"
#include "settings/ExpressionMapping.h"
#include "widgets/DialogHooks.h"
#include "widgets/TabPage.h"

#include <array>
#include <functional>

class Fl_Button;
class Fl_Check_Button;
class Fl_Light_Button;

namespace kv {

class ValueSlider;

class KV_ExpressionEditor : public TabPage {
public:
    KV_ExpressionEditor(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_ExpressionEditor() override;
    void draw() override;

    // Fills the working copy and the controls without notifying: the
    // twelve levels, the mapping flags (byte 2's layout; bits 0-1 ignored)
    // and the speed flags (byte 3's layout).
    void load(const std::array<uint8_t, kExpressionLevels>& levels, uint8_t mapping_flags, uint8_t speed_flags);
    // The mapping of a parameter block, and its two algorithm codes.
    void load_mapping(const PresetParameters& p);
    void set_algorithms(AlgorithmId x, AlgorithmId y);

    const ExpressionMapping& working() const { return mapping_; }
    // The last block loaded, with the working copy committed into it.
    PresetParameters mapping() const;
    bool loaded() const { return loaded_; }
    // The user edited the working copy; the engine the edit concerned.
    std::function<void(Engine edited)> on_edit;

    // The help text of the "?" button.
    static const char* help_text();

    // Controls by engine (index_of(Engine)) and knob (index_of(Knob)).
    Fl_Check_Button* map_button(Engine e, Knob k) const { return map_buttons_[idx(e)][idx(k)]; }
    ValueSlider* heel_slider(Engine e, Knob k) const { return heel_[idx(e)][idx(k)]; }
    ValueSlider* toe_slider(Engine e, Knob k) const { return toe_[idx(e)][idx(k)]; }
    Fl_Light_Button* slow_button(Engine e, Knob k) const { return slow_[idx(e)][idx(k)]; }
    Fl_Light_Button* fast_button(Engine e, Knob k) const { return fast_[idx(e)][idx(k)]; }
    Fl_Button* help_button = nullptr;

    DialogHooks dialogs;

private:
    // What a control's callback is about.
    enum class Part : uint8_t { Map, Heel, Toe, Slow, Fast };
    struct Control {
        KV_ExpressionEditor* editor = nullptr;
        Engine engine = Engine::X;
        Knob knob = Knob::Speed;
        Part part = Part::Map;
    };
    static size_t idx(Engine e) { return size_t(index_of(e)); }
    static size_t idx(Knob k) { return size_t(index_of(k)); }

    void map_changed(Engine e, Knob k);
    void level_changed(Engine e, Knob k, bool toe);
    void speed_clicked(Engine e, Knob k, bool fast);
    void set_sliders_active(Engine e, Knob k, bool active);
    void notify(Engine e);
    static void control_cb(Fl_Widget*, void*);
    static void help_cb(Fl_Widget*, void*);

    std::array<std::array<Fl_Check_Button*, 3>, 2> map_buttons_{};
    std::array<std::array<ValueSlider*, 3>, 2> heel_{};
    std::array<std::array<ValueSlider*, 3>, 2> toe_{};
    std::array<std::array<Fl_Light_Button*, 3>, 2> slow_{};
    std::array<std::array<Fl_Light_Button*, 3>, 2> fast_{};
    std::array<Control, 2 * 3 * 5> controls_{};

    ExpressionMapping mapping_ = ExpressionMapping::initial();
    PresetParameters block_{};
    AlgorithmId algorithm_x_ = 0;
    AlgorithmId algorithm_y_ = 0;
    bool notify_ = true;
    bool loaded_ = false;
};

} // namespace kv
