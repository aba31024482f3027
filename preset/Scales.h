#pragma once
// Conversions between the raw knob, volume and level values of a preset block
// and the positions and texts the editor shows. Pure functions, computed in
// IEEE double precision with the exact constants below; "rounded" is always
// floor(x + 0.5) (half up), then truncated to the field's width. The products
// are not exact: 50 x 2.55 is a hair below 127.5, so 50 % stores 127.

#include "preset/Catalogue.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

constexpr double kPercentFactor = 2.55;          // depth, tweak, expression levels
constexpr double kRateFactor = 20.47;            // speed of rate algorithms
constexpr double kSpeedRawMax = 2047.0;          // 11-bit speed
constexpr double kTempoUnit = 7.634765625;       // 3909 / 512
constexpr double kMinBeatUnits = 1563.0;         // shortest beat period, in units of 0.064 ms
constexpr double kTickMs = 0.064;
constexpr double kMsPerMinute = 60000.0;

constexpr double kKnobMiddle = 50.0;             // start position of every 0-100 knob
constexpr double kTempoStartPosition = 1364.813592564168;   // raw 682, 180 BPM
constexpr int kTempoSliderStep = 4;
constexpr int kPercentMin = 0;
constexpr int kPercentMax = 100;
constexpr int kBpmMin = 60;
constexpr int kBpmMax = 600;
constexpr int kVolumeMin = -3;                   // bar positions, in dB
constexpr int kVolumeMax = 3;

// The editor's captions above the speed and depth sliders of PARAEQ.
constexpr const char* kParaEqSpeedCaption = "100     <      850      >      3K";
constexpr const char* kParaEqDepthCaption = "cut     <    neutral    >   boost";

// floor(x + 0.5).
long long round_half_up(double x);

// --- depth and tweak (and expression levels): 0..255 raw, 0..100 shown ---
uint8_t percent_to_raw(double position);          // rounded(position x 2.55)
double raw_to_percent(int raw);                   // raw / 2.55, not rounded
int percent_text_value(int raw);                  // rounded(raw / 2.55)

// --- speed of a rate algorithm: 0..2047 raw, 0..100 shown ---
uint16_t rate_position_to_raw(double position);   // rounded(position x 20.47)
double rate_raw_to_position(int raw);             // raw / 20.47
int rate_text_value(int raw);                     // rounded(raw / 20.47)

// --- speed of a tempo algorithm: raw is a beat period; slider = 2047 - raw ---
uint16_t tempo_position_to_raw(double position);  // rounded(2047 - position)
double tempo_raw_to_position(int raw);            // 2047 - raw
// Beat period in ms: max(raw x 7.634765625, 1563) x 0.064 (100.032 to ~1000.2).
double beat_period_ms(double raw);
// rounded(60000 / beat period) for the slider position (raw = 2047 - position).
int tempo_bpm_at_position(double position);
int tempo_bpm(int raw);                           // 60 (raw 2047) to 600 (raw 204 or less)
// Slider position of a tempo: 2047 - 60000 / bpm / 0.064 / 7.634765625.
double tempo_position_for_bpm(double bpm);

// --- speed by the algorithm's class ---
uint16_t speed_position_to_raw(SpeedClass c, double position);
double speed_raw_to_position(SpeedClass c, int raw);
// The number the speed text shows: BPM for tempo, rounded position for rate.
int speed_text_value(SpeedClass c, int raw);

// --- typed values ---
// The integer value of a typed text the way the editor reads it: leading
// blanks, an optional sign and digits; anything that is not a number counts
// as 0; values too large for an int saturate.
int typed_integer(std::string_view text);
// The real value of a typed text (0 when it is not a number).
double typed_real(std::string_view text);

struct TypedInteger {
    int value;          // clamped
    bool replaced;      // the text was outside the range
    std::string text;   // the text to show: the limit when replaced, else as typed
};
// Clamp a typed integer to lo..hi, replacing the text by the limit ("%d").
TypedInteger typed_clamped(std::string_view text, int lo, int hi);

struct TypedTempo {
    std::string text;   // "60" / "600" when the value was outside, else as typed
    double position;    // slider position
    uint16_t raw;       // rounded(2047 - position)
};
// A typed tempo: the integer value clamped to 60..600, then the (possibly
// replaced) text taken as a real number t; slider at 2047 - 60000/t/0.064/7.634765625.
TypedTempo typed_tempo(std::string_view text);

// --- master volume: code 3..9 stored, bar -3..+3 (dB = 6 - code) ---
uint8_t volume_code(int position);                // 6 - position
// A code above 9 becomes 6 (0 dB); anything else is kept.
uint8_t normalised_volume(int code);
// |code - 9| - 3 after normalising (6 - code for codes up to 9); not clamped to the bar.
int volume_position(int code);
// "%d" when negative, "+%d" otherwise: "-3" ... "-1", "+0" ... "+3".
std::string volume_text(int position);

struct TypedVolume {
    int position;       // clamped to -3..+3
    uint8_t code;       // 6 - position
    std::string text;   // volume_text(position)
};
TypedVolume typed_volume(std::string_view text);

// --- expression and ramp levels: shown like depth ---
inline uint8_t expression_level_to_raw(double position) { return percent_to_raw(position); }
inline double expression_raw_to_level(int raw) { return raw_to_percent(raw); }

}  // namespace kv
