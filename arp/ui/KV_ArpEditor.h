#pragma once
// The " Arp Editor " tab: where the user draws the step sequences of the arp
// algorithms. It holds two sequence panels (KV_ArpCore), one per engine, on
// top of each other with one shown at a time (EDIT X / EDIT Y), a choice of
// the four factory sequences, a slot choice and S A V E, which stores the
// shown sequence into the pedal's global sequence library.
//
// The page never talks to the pedal. Each user action is handed to
// on_action as an action code; the main window runs the exchange
// and hands the result back through the calls below. Until the page has been
// prepared for a preset in which an engine runs an arp algorithm it is inert
// and shows only the arp_alert picture.
//
// Saving goes to the slot the slot choice shows: the sequence last chosen
// with a sequence button, recalled with the preset, or picked in the slot
// choice itself ("save to slot 3" stores Sequence III). Picking a slot does
// not change which sequence the preset plays.

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "arp/ui/KV_ArpCore.h"
#include "preset/PresetRecord.h"
#include "widgets/TabPage.h"

#include <array>
#include <functional>
#include <string>

class Fl_Box;
class Fl_Button;
class Fl_Choice;
class Fl_PNG_Image;
class Fl_Widget;

namespace kv {

// What the page asks its owner to do.
enum class ArpAction : int {
    SequenceX = 0,   // another sequence chosen on DSP-X: switch the preset to it and read it
    SequenceY = 1,
    PreviewX = 2,    // the shown sequence changed: send it for listening
    PreviewY = 3,
    SaveX = 4,       // S A V E: store the shown sequence into the pedal's library
    SaveY = 5,
    FactoryX = 6,    // a factory sequence picked (factory_number()): load it into the panel, then preview
    FactoryY = 7,
};
// The engine an action is about.
constexpr Engine engine_of(ArpAction a) { return static_cast<int>(a) % 2 == 0 ? Engine::X : Engine::Y; }

class KV_ArpEditor : public TabPage {
public:
    static const char* const kHelpText;
    static const char* const kTipsText;

    KV_ArpEditor(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_ArpEditor() override;
    void draw() override;

    // --- what the owner hands over ---
    // The engine's algorithm: its panel and caption follow; a non-arp id
    // leaves the caption empty and makes that engine's EDIT button inactive.
    void set_engine_algorithm(AlgorithmId id, Engine e);
    // A sequence the pedal sent for the engine's current selector (preset
    // recalled, or the Dashboard's sequence choice changed): index 0..3 shows
    // it on that engine's panel, 4 (random) greys out editing. Ignored for
    // algorithms without sequences.
    void show_sequence(AlgorithmId id, int sequence_index, Engine e, const ArpSequence& seq);
    // Each time the tab is selected and after a preset was read: captions,
    // which engine's panel is shown (focus_y names it when both engines run
    // arp algorithms), active controls; inert when neither engine runs one.
    void prepare(const PresetParameters& params);
    // The Arpeggiator's scale changed (its secondary parameter 2): the grid labels follow.
    void set_scale(Engine e, int scale);

    // --- answers to the page's own actions ---
    // SequenceX/Y: the pedal sent the chosen sequence.
    void sequence_read(Engine e, const ArpSequence& seq);
    // SequenceX/Y: nothing came back; the panel goes back to the sequence it shows.
    void sequence_not_read(Engine e);
    // The engine's sequence could not be read with its preset: the panel
    // says so instead of showing levels the pedal never sent, and its
    // editing, slot choice and S A V E stay off until a read succeeds
    // (show_sequence, sequence_read: the user picks the sequence again).
    void sequence_unknown(AlgorithmId id, Engine e);
    bool sequence_unread(Engine e) const { return unread_[size_t(index_of(e))]; }
    // FactoryX/Y: the factory sequence, or nothing (the file could not be read).
    void load_factory(Engine e, const ArpSequence& seq);
    void factory_not_loaded();
    // SaveX/Y went through: the confirmation picture while shown.
    void show_saved(bool shown);
    void reset_factory_choice();

    // --- state ---
    int factory_number() const { return factory_number_; }   // 1..4 with FactoryX/Y
    KV_ArpCore& core(Engine e) { return *cores_[size_t(index_of(e))]; }
    const KV_ArpCore& core(Engine e) const { return *cores_[size_t(index_of(e))]; }
    Engine shown_engine() const { return shown_; }
    bool arp_available() const { return arp_available_; }
    bool random_shown() const { return random_[size_t(index_of(shown_))]; }
    // The sequence the shown panel's slot choice names: 0..3, or -1 when none is picked.
    int picked_sequence(Engine e) const;
    FactoryArpTable& factory_table() { return factory_; }
    const std::string& caption(Engine e) const { return captions_[size_t(index_of(e))]; }
    // The algorithm last handed over for the engine.
    AlgorithmId engine_algorithm(Engine e) const { return algorithms_[size_t(index_of(e))]; }

    // What the user asked for; the window runs it.
    std::function<void(ArpAction)> on_action;

    // How the help and tips texts are shown; the window routes them to its dialogs.
    std::function<void(const std::string&)> show_text;

    // The page's controls.
    Fl_Button* edit_y_button = nullptr;
    Fl_Button* edit_x_button = nullptr;
    Fl_Button* save_button = nullptr;
    Fl_Button* help_button = nullptr;
    Fl_Button* tips_button = nullptr;
    Fl_Choice* factory_choice = nullptr;
    Fl_Choice* slot_choice = nullptr;
    Fl_Box* save_box = nullptr;

private:
    static void edit_cb(Fl_Widget*, void*);
    static void factory_cb(Fl_Widget*, void*);
    static void slot_cb(Fl_Widget*, void*);
    static void save_cb(Fl_Widget*, void*);
    static void help_cb(Fl_Widget*, void*);
    static void tips_cb(Fl_Widget*, void*);

    void core_reported(Engine e, KV_ArpCore::Change change);
    // Shows one engine's panel with its EDIT button lit, and the slot choice
    // and S A V E as that panel allows.
    void show_engine(Engine e);
    void sync_slot_controls();
    void make_inert();
    void report(ArpAction a);
    void draw_captions();

    std::array<KV_ArpCore*, 2> cores_{};
    std::array<AlgorithmId, 2> algorithms_{};
    std::array<std::string, 2> captions_{};
    std::array<bool, 2> random_{};
    std::array<bool, 2> unread_{};   // the engine's sequence was not read from the pedal
    Engine shown_ = Engine::X;
    bool arp_available_ = false;
    int factory_number_ = 0;
    FactoryArpTable factory_;

    Fl_PNG_Image* arrow_image_ = nullptr;
    Fl_PNG_Image* alert_image_ = nullptr;
    Fl_PNG_Image* save_image_ = nullptr;
    Fl_PNG_Image* random_image_ = nullptr;
    Fl_PNG_Image* tips_image_ = nullptr;
};

} // namespace kv
