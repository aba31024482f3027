#pragma once
// The two bytes Get Pedal State answers: the firmware version byte and the
// mode byte (bit 7 set in normal operation, clear in update mode; bits 0 to
// 6 the patch number).
//
// The version byte has two readings, each where it has always been used:
//  - the connect check and the version shown take the major number from
//    bits 7 to 4 (a blank pedal's 0xFF shows as 15.15);
//  - the firmware packages and the migration rules take it from bits 4 to 6,
//    bit 7 being no part of the version (0xFF reads as 7.15).
// Both take the minor number from bits 3 to 0.

#include <cstdint>

namespace kv {

constexpr uint8_t kVersionMinorMask = 0x0F;
constexpr uint8_t kPackageMajorMask = 0x07;   // after the shift: bits 4 to 6
constexpr uint8_t kModeNormal = 0x80;
constexpr uint8_t kModePatchMask = 0x7F;

// Bits 7 to 4: the connect check's and the shown major number.
constexpr int shown_version_major(uint8_t version_byte) { return version_byte >> 4; }
// Bits 4 to 6: the packages' and the migration rules' major number.
constexpr int version_major(uint8_t version_byte) { return (version_byte >> 4) & kPackageMajorMask; }
constexpr int version_minor(uint8_t version_byte) { return version_byte & kVersionMinorMask; }
// The version byte for a major (0 to 15) and minor (0 to 15) number.
constexpr uint8_t version_byte(int major, int minor)
{
    return uint8_t(((major & 0x0F) << 4) | (minor & kVersionMinorMask));
}

constexpr int mode_patch(uint8_t mode) { return mode & kModePatchMask; }
constexpr bool mode_normal(uint8_t mode) { return (mode & kModeNormal) != 0; }
constexpr uint8_t mode_byte(bool normal, int patch)
{
    return uint8_t((normal ? kModeNormal : 0) | (patch & kModePatchMask));
}

// The firmware this program works with: 2.3.0 and later by the shown reading
// (majors 3 to 15 whatever the minor).
constexpr bool version_supported(uint8_t version_byte)
{
    const int major = shown_version_major(version_byte);
    return major > 2 || (major == 2 && version_minor(version_byte) >= 3);
}

} // namespace kv
