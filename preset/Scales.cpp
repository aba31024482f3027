#include "preset/Scales.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kv {

long long round_half_up(double x) { return static_cast<long long>(std::floor(x + 0.5)); }

uint8_t percent_to_raw(double position) { return uint8_t(round_half_up(position * kPercentFactor) & 0xFF); }
double raw_to_percent(int raw) { return raw / kPercentFactor; }
int percent_text_value(int raw) { return int(round_half_up(raw_to_percent(raw))); }

uint16_t rate_position_to_raw(double position) { return uint16_t(round_half_up(position * kRateFactor) & 0xFFFF); }
double rate_raw_to_position(int raw) { return raw / kRateFactor; }
int rate_text_value(int raw) { return int(round_half_up(rate_raw_to_position(raw))); }

uint16_t tempo_position_to_raw(double position) { return uint16_t(round_half_up(kSpeedRawMax - position) & 0xFFFF); }
double tempo_raw_to_position(int raw) { return kSpeedRawMax - raw; }

double beat_period_ms(double raw) { return std::max(raw * kTempoUnit, kMinBeatUnits) * kTickMs; }

int tempo_bpm_at_position(double position)
{
    return int(round_half_up(kMsPerMinute / beat_period_ms(kSpeedRawMax - position)));
}

int tempo_bpm(int raw) { return tempo_bpm_at_position(tempo_raw_to_position(raw)); }

double tempo_position_for_bpm(double bpm) { return kSpeedRawMax - kMsPerMinute / bpm / kTickMs / kTempoUnit; }

uint16_t speed_position_to_raw(SpeedClass c, double position)
{
    return c == SpeedClass::Tempo ? tempo_position_to_raw(position) : rate_position_to_raw(position);
}

double speed_raw_to_position(SpeedClass c, int raw)
{
    return c == SpeedClass::Tempo ? tempo_raw_to_position(raw) : rate_raw_to_position(raw);
}

int speed_text_value(SpeedClass c, int raw) { return c == SpeedClass::Tempo ? tempo_bpm(raw) : rate_text_value(raw); }

int typed_integer(std::string_view text)
{
    const std::string s(text);
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str()) return 0;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

double typed_real(std::string_view text)
{
    const std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(v)) return 0.0;
    return v;
}

TypedInteger typed_clamped(std::string_view text, int lo, int hi)
{
    const int v = typed_integer(text);
    if (v < lo) return {lo, true, std::to_string(lo)};
    if (v > hi) return {hi, true, std::to_string(hi)};
    return {v, false, std::string(text)};
}

TypedTempo typed_tempo(std::string_view text)
{
    const TypedInteger clamped = typed_clamped(text, kBpmMin, kBpmMax);
    double t = typed_real(clamped.text);
    // The integer part is within 60..600, so t is too unless the text carries
    // a fraction beyond it ("600.9"); keep the division away from 0 regardless.
    if (!(t >= kBpmMin)) t = kBpmMin;
    const double position = tempo_position_for_bpm(t);
    return {clamped.text, position, tempo_position_to_raw(position)};
}

uint8_t volume_code(int position) { return uint8_t(kVolumeZeroDb - position); }

uint8_t normalised_volume(int code) { return code > kVolumeMaxCode ? kVolumeZeroDb : uint8_t(code); }

int volume_position(int code) { return std::abs(int(normalised_volume(code)) - kVolumeMaxCode) - 3; }

std::string volume_text(int position)
{
    char buf[16];
    if (position < 0) std::snprintf(buf, sizeof buf, "%d", position);
    else std::snprintf(buf, sizeof buf, "%s%d", "+", position);
    return buf;
}

TypedVolume typed_volume(std::string_view text)
{
    const int v = std::clamp(typed_integer(text), kVolumeMin, kVolumeMax);
    return {v, volume_code(v), volume_text(v)};
}

}  // namespace kv
