#include "arp/ui/KV_ArpEditor.h"

#include "preset/Catalogue.h"

#include "platform/DataPaths.h"
#include "widgets/Artwork.h"
#include "widgets/Palette.h"

#include <FL/Fl_PNG_Image.H>
#include <FL/fl_draw.H>

#include <string>

namespace kv {

namespace {
const char* const kArpNames[kArpAlgorithmCount] = {
    "A R P  T R E M O L O", "A R P  F I L T E R", "A R P  F O R M A N T", "A R P  F L A N G E R",
    "A R P  P H A S E R",   "A R P  R I N G M O D", "A R P E G G I A T O R",
};
const char* const kSequenceNames[5] = {"Sequence I", "Sequence II", "Sequence III", "Sequence IV", "Random"};
} // namespace

KV_ArpEditor::KV_ArpEditor(int x, int y, int w, int h, const char* label) : TabPage(x, y, w, h, label)
{
    alert_image_ = load_png_artwork(image_path("arp_alert_[670x467].png"));
    end();
}

KV_ArpEditor::~KV_ArpEditor()
{
    delete alert_image_;
    alert_image_ = nullptr;
}

void KV_ArpEditor::set_engine_algorithm(AlgorithmId id, Engine e)
{
    Side& s = side(e);
    if (s.algorithm != id) s.has_sequence = false;
    s.algorithm = id;
    redraw();
}

void KV_ArpEditor::show_sequence(AlgorithmId id, int sequence_index, Engine e, const ArpSequence& seq)
{
    Side& s = side(e);
    s.algorithm = id;
    s.sequence_index = sequence_index < 0 ? 0 : (sequence_index > 4 ? 4 : sequence_index);
    s.sequence = seq;
    s.has_sequence = is_arp_algorithm(id);
    redraw();
}

bool KV_ArpEditor::arp_available() const
{
    return is_arp_algorithm(sides_[0].algorithm) || is_arp_algorithm(sides_[1].algorithm);
}

void KV_ArpEditor::draw_side(Engine e, int left, int top, int width)
{
    const Side& s = side(e);
    fl_font(FL_HELVETICA_BOLD, 15);
    fl_color(kAccentColor);
    fl_draw(e == Engine::X ? "DSP-X" : "DSP-Y", left, top);
    const int idx = arp_index(s.algorithm);
    fl_font(FL_HELVETICA, 14);
    if (idx < 0 || idx >= kArpAlgorithmCount) {
        fl_color(kSoftTextColor);
        fl_draw("no arp algorithm on this engine", left, top + 26);
        return;
    }
    fl_color(FL_WHITE);
    fl_draw(kArpNames[idx], left, top + 26);
    if (!s.has_sequence) {
        fl_color(kSoftTextColor);
        fl_draw("sequence not read", left, top + 50);
        return;
    }
    fl_color(kSoftTextColor);
    fl_draw(kSequenceNames[s.sequence_index], left, top + 50);
    // The step levels as bars, 0 to 100 on the shown scale.
    ArpReading r = read_arp_sequence(s.sequence, 8);
    const int base = top + 200;
    const int bar_w = (width - 20) / kArpSteps;
    for (int k = 0; k < kArpSteps; ++k) {
        const int bh = static_cast<int>(r.shown[k] * 1.2);
        fl_color(k < r.step_count ? kLevelColor : fl_rgb_color(90, 90, 90));
        fl_rectf(left + k * bar_w, base - bh, bar_w - 4, bh);
    }
    fl_color(kRuleColor);
    fl_rectf(left, base + 2, width - 20, 1);
    fl_color(kSoftTextColor);
    fl_draw((std::to_string(r.step_count) + " steps").c_str(), left, base + 22);
}

void KV_ArpEditor::draw()
{
    draw_page("ARP SEQUENCE EDITOR");
    if (!arp_available() && alert_image_ && alert_image_->w() > 0 && alert_image_->h() > 0) {
        alert_image_->draw(x() + 15, y() + 65);
        return;
    }
    const int half = (w() - 60) / 2;
    draw_side(Engine::Y, x() + 30, y() + 90, half);
    draw_side(Engine::X, x() + 40 + half, y() + 90, half);
}

} // namespace kv
