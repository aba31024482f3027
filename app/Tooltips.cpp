// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/Desktop.h"

#include "app/Korvane.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "widgets/Input.h"
#include "widgets/Scrollbar.h"
#include "widgets/Slider.h"
#include "widgets/ValueSlider.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Light_Button.H>

namespace kv {

void set_tooltips(Korvane& k)
{
    auto tip = [](Fl_Widget* w, const char* text) {
        if (w && !w->tooltip()) w->tooltip(text);
    };
    if (KV_Parameters* d = k.dashboard) {
        for (Engine e : {Engine::Y, Engine::X}) {
            const bool x = e == Engine::X;
            tip(d->algorithm_menu(e), x ? "the effect DSP-X plays" : "the effect DSP-Y plays");
            tip(d->tap_list(e), "how this engine's speed follows the tapped tempo");
            tip(d->knob(e, Knob::Speed), "speed of this engine's effect (drag, or arrow keys when focused)");
            tip(d->knob(e, Knob::Depth), "depth of this engine's effect (drag, or arrow keys when focused)");
            tip(d->knob(e, Knob::Tweak), "the third setting of this engine's effect, named below it");
            for (int i = 0; i < 3; ++i) tip(d->knob_text(e, Knob(i)), "type a value and press Enter");
            for (int sp = 0; sp < 3; ++sp) tip(d->sp_list(e, sp), "a further setting of this engine's effect, named above it");
        }
        tip(d->volume_bar, "master volume of the preset");
        tip(d->volume_text, "master volume in dB: type a value and press Enter");
    }
    if (KV_TransportPanel* list = k.transport_panel) {
        for (auto& row : list->slots) {
            tip(row.s_switch, "auto stomp: the preset comes up engaged when it is called");
            tip(row.b_switch, "bypass when the preset is called by MIDI program change");
            tip(row.name_field, "preset title (12 characters): type it and press Enter");
        }
    }
    if (KV_ArpEditor* arp = k.arp_editor) {
        for (Engine e : {Engine::Y, Engine::X}) {
            KV_ArpCore& core = arp->core(e);
            for (ValueSlider* s : core.sliders) tip(s, "level of this step of the sequence");
            tip(core.steps_choice, "STEPS: how many steps (4 to 8) the sequence plays before it repeats");
            tip(core.snap_button, "SNAP GRID: the steps move only to the lines of the grid (the scale's notes)");
        }
    }
    if (KV_PresetPanel* offline = k.preset_panel)
        tip(offline->preset_list, "presets kept on this computer: pick one to load and play it");
    if (KV_ExpressionEditor* ex = k.expression_editor) {
        for (Engine e : {Engine::Y, Engine::X})
            for (int i = 0; i < 3; ++i) {
                const Knob kn = Knob(i);
                tip(ex->heel_slider(e, kn), "value with the expression pedal at the heel (up)");
                tip(ex->toe_slider(e, kn), "value with the expression pedal at the toe (down)");
                tip(ex->map_button(e, kn), "let the expression pedal or the ramp move this knob");
            }
    }
}

} // namespace kv
