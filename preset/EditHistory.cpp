#include "preset/EditHistory.h"

#include "preset/Catalogue.h"

#include <cstring>

namespace kv {

namespace {

constexpr uint8_t kLastEditBits = bits::kFocusY | bits::kFocusBit1;

bool same_bytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

bool sp1_picks_sequence(int algorithm) { return is_arp_algorithm(algorithm) || algorithm == 0 || algorithm == 1; }

} // namespace

bool EditState::operator==(const EditState& o) const
{
    return same_bytes(parameters.data(), o.parameters.data(), kPresetParametersSize) &&
           same_bytes(title.text, o.title.text, kPresetTitleSize) &&
           same_bytes(program_x.bytes, o.program_x.bytes, kDspProgramSize) &&
           same_bytes(program_y.bytes, o.program_y.bytes, kDspProgramSize) && sequences == o.sequences;
}

bool same_preset(const EditState& a, const EditState& b)
{
    PresetParameters pa = a.parameters, pb = b.parameters;
    pa.focus = uint8_t(pa.focus & ~kLastEditBits);
    pb.focus = uint8_t(pb.focus & ~kLastEditBits);
    return same_bytes(pa.data(), pb.data(), kPresetParametersSize) &&
           same_bytes(a.title.text, b.title.text, kPresetTitleSize) &&
           same_bytes(a.program_x.bytes, b.program_x.bytes, kDspProgramSize) &&
           same_bytes(a.program_y.bytes, b.program_y.bytes, kDspProgramSize);
}

void EditHistory::start(const EditState& loaded, std::optional<EditState> stored)
{
    steps_.assign(1, loaded);
    position_ = 0;
    stored_ = std::move(stored);
}

bool EditHistory::record(const EditState& now)
{
    if (now == current()) return false;
    // Only the engine the last edit touched moved (the engine swap names one
    // engine, then the other, between its previews): the same step.
    if (same_preset(now, current()) && now.sequences == current().sequences) {
        amend(now);
        return false;
    }
    steps_.erase(steps_.begin() + std::ptrdiff_t(position_ + 1), steps_.end());
    steps_.push_back(now);
    while (steps_.size() > kMaxSteps) steps_.pop_front();
    position_ = steps_.size() - 1;
    return true;
}

std::optional<EditState> EditHistory::undo()
{
    if (!can_undo()) return std::nullopt;
    --position_;
    return current();
}

std::optional<EditState> EditHistory::redo()
{
    if (!can_redo()) return std::nullopt;
    ++position_;
    return current();
}

std::vector<PreviewRequest> previews_between(const EditState& from, const EditState& to)
{
    using enum PreviewRequest;
    std::vector<PreviewRequest> out;
    if (!same_bytes(from.parameters.data(), to.parameters.data(), kPresetParametersSize)) out.push_back(parameters);
    for (Engine e : {Engine::X, Engine::Y}) {
        const bool x = e == Engine::X;
        const DspProgram& a = x ? from.program_x : from.program_y;
        const DspProgram& b = x ? to.program_x : to.program_y;
        if (!same_bytes(a.bytes, b.bytes, kDspProgramSize)) out.push_back(x ? program_x : program_y);
        const int algorithm = to.parameters.algorithm(e);
        const bool algorithm_changed = from.parameters.algorithm(e) != algorithm;
        const bool sp1_changed = from.parameters.sp(e, 0) != to.parameters.sp(e, 0);
        if ((algorithm_changed && is_tempo_algorithm(algorithm)) || (sp1_changed && sp1_picks_sequence(algorithm)))
            out.push_back(x ? sequence_x : sequence_y);
    }
    return out;
}

}  // namespace kv
