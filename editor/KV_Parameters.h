#pragma once
// The " Dashboard " tab: the preset being edited. For now the panel shows the
// preset it holds as a read-out — title, each engine's algorithm, knobs,
// secondary parameters, tap divide and engage state, the routing, Pre/Post
// and master volume — and keeps the block the rest of the program reads
// (params, the title, the two engine programs). The editing controls are
// built into it later; the owner already talks to it through the fields and
// calls below.

#include "preset/PresetRecord.h"
#include "preset/PreviewRequest.h"

#include <FL/Fl_Group.H>

namespace kv {

class KV_Parameters : public Fl_Group {
public:
    KV_Parameters(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_Parameters() override;
    void draw() override;

    // Makes the panel show and hold a parameter block. Sends nothing (the
    // panel is not live while it loads).
    void load_parameters(const PresetParameters& block);
    void load_parameters(const uint8_t* bytes35);
    // The same with the preset's title (the 47 bytes a preset read returns).
    void load_record(const PresetRecord& record);
    void load_record(const uint8_t* bytes47);

    // The controls a combo template sets (swap, both speed sliders and their
    // value inputs) are made inactive while the template chooser is open.
    void set_template_controls_active(bool active);
    bool template_controls_active() const { return template_controls_active_; }

    // Number of blocks loaded so far (a read that changed nothing still counts).
    int loads() const { return loads_; }

    PresetParameters params{};
    PresetTitle title{};
    bool has_title = false;
    DspProgram program_x{};
    DspProgram program_y{};
    bool live = true;
    PreviewRequest preview_request = parameters;
    int combination = 0;

private:
    void draw_engine(Engine e, int left, int top, int width, int height);

    bool template_controls_active_ = true;
    int loads_ = 0;
};

} // namespace kv
