#include "preset/PresetMigration.h"

#include "preset/Catalogue.h"

namespace kv {

std::optional<MigrationRule> migration_rule(uint8_t firmware_version, uint8_t pedal_mode)
{
    const int major = version_major(firmware_version);
    const int minor = version_minor(firmware_version);
    const int patch = mode_patch(pedal_mode);
    if (major <= 1) return MigrationRule::A;
    if (major == 2 && minor == 0) return patch <= 7 ? MigrationRule::B : MigrationRule::C;
    if (major == 2 && minor == 1) return MigrationRule::C;
    if (major == 2 && minor == 2) return MigrationRule::D;
    return std::nullopt;
}

bool migrates_aux_codes(MigrationRule rule) { return rule != MigrationRule::D; }

namespace {

// One engine's algorithm, speed field and tap bits through the rule.
bool migrate_engine(PresetParameters& p, Engine e, MigrationRule rule)
{
    bool rewrite = false;
    uint8_t& algorithm = e == Engine::X ? p.algorithm_x : p.algorithm_y;
    uint8_t* speed = e == Engine::X ? p.speed_x : p.speed_y;
    // The stored values are small; the old firmware compared them signed.
    auto value = [](uint8_t b) { return int(int8_t(b)); };

    if (value(algorithm) > 8) {
        algorithm = uint8_t(algorithm + 1);
        rewrite = true;
    }
    const int a = value(algorithm);
    auto set_speed_512 = [&] {
        speed[0] = 0x00;
        speed[1] = 0x02;
    };
    switch (rule) {
    case MigrationRule::A:
        if (a == 0) {
            set_speed_512();
            rewrite = true;
        } else if (a == 1) {
            algorithm = 3;
            rewrite = true;
        } else if (a == 2) {
            algorithm = 1;
            set_speed_512();
            rewrite = true;
        } else if (a == 3) {
            algorithm = 2;
            set_speed_512();
            rewrite = true;
        } else if (a == 6 || a == 21) {
            rewrite = true;
        }
        break;
    case MigrationRule::B:
        if (a == 21 || a == 26 || a == 32) rewrite = true;
        break;
    case MigrationRule::C:
        if (a == 32) rewrite = true;
        break;
    case MigrationRule::D:
        break;
    }

    if (rule != MigrationRule::D) {
        // A tap tempo that the algorithm cannot follow, or with no divide.
        if (p.tap_on(e) && (!tap_capable(algorithm) || p.tap_divide(e) == 0)) rewrite = true;
        if (rule != MigrationRule::A && value(speed[1]) > 7) {
            speed[1] = 3;
            rewrite = true;
        }
    }
    return rewrite;
}

} // namespace

bool migrate_preset(PresetParameters& p, MigrationRule rule)
{
    bool rewrite = migrate_engine(p, Engine::X, rule);
    rewrite = migrate_engine(p, Engine::Y, rule) || rewrite;
    if (rule != MigrationRule::D && int(int8_t(p.volume)) > 9) {
        p.volume = 6;
        rewrite = true;
    }
    return rewrite;
}

} // namespace kv
