// `korvane firmware FILE.fdt`: the firmware update, for a pedal started in
// update mode. The package is read and checked before the pedal is looked
// for, so a bad package never reaches it.

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "ops/Firmware.h"
#include "platform/DataPaths.h"
#include "preset/AlgorithmLibrary.h"

#include <filesystem>
#include <tuple>

namespace kv::cli {

int cmd_firmware(Session& s)
{
    const Command& me = *find_command("firmware");
    if (s.args.size() != 1) return s.usage_error(me, "firmware takes one package file (.fdt)");
    const std::string path = s.args[0];
    std::error_code missing;
    if (!std::filesystem::exists(path, missing)) {
        s.err("korvane firmware: " + path + ": no such file");
        return kUsage;
    }

    const ops::PackageRead package = ops::browse_firmware_package(s.report(), path);
    if (!package.ok()) {
        s.err("korvane firmware: " + path + " is not a firmware package that can be sent.");
        return kUsage;
    }
    s.out("Package: " + package.package->version_text());
    for (const auto& note : package.package->notes) s.out("  " + note);

    const ops::ConnectResult found = ops::connect(s.link(), s.report(), false, s.image);
    s.pedal = found.pedal;
    if (found.outcome != ops::ConnectOutcome::UpdateMode) {
        if (found.outcome == ops::ConnectOutcome::NotFound) {
            s.no_pedal_found();
        } else if (found.outcome == ops::ConnectOutcome::UsbProblem) s.err(s.who() + ": the pedal did not answer.");
        else
            s.err("korvane firmware: the pedal is not in update mode. Hold down both footswitches while "
                  "powering it up, then try again.");
        return kFailed;
    }
    s.out("Pedal: Serial No. " + found.pedal.serial_number + "  Firmware " + found.pedal.firmware_text() +
          " (update mode)");
    const ops::FirmwarePackage& p = *package.package;
    const bool older = std::tuple(p.major(), p.minor(), int(p.patch)) <
                       std::tuple(found.pedal.major(), found.pedal.minor(), found.pedal.patch());
    const std::string package_version =
        std::to_string(p.major()) + "." + std::to_string(p.minor()) + "." + std::to_string(int(p.patch));
    if (older && !s.allow_downgrade &&
        !s.confirm("The package holds firmware " + package_version + ", older than the pedal's " +
                       found.pedal.firmware_text() + ". Go back to " + package_version + "?",
                   "--allow-downgrade"))
        return s.declined();
    if (!s.confirm("Replace the pedal's firmware " + found.pedal.firmware_text() + " with " + p.version_text() + "?"))
        return s.declined();
    if (!s.no_backup) {
        // In update mode the pedal cannot be read: no safety backup can be taken now.
        s.err("korvane firmware: nothing was sent: a pedal in update mode cannot be read for a safety backup.");
        s.err("  Restart it normally and run `korvane backup`, then start it in update mode and give --no-backup.");
        return kFailed;
    }

    ops::FirmwareUpdate request;
    request.package_path = path;
    request.before = found.pedal;
    request.library_path = AlgorithmLibrary::file_path(data_dir());
    std::array<uint8_t, kGlobalsSize> globals{};
    const ops::FirmwareResult r =
        ops::update_firmware(s.link(), s.report(), request, ops::PresetImage(s.image.data(), s.image.size()), globals);
    if (r.outcome == ops::FirmwareOutcome::Updated) {
        s.out("Firmware updated: " + std::to_string(r.pages_sent) + " pages sent, " + package.package->version_text() +
              (r.migration.rewritten > 0 ? ", " + std::to_string(r.migration.rewritten) + " presets converted" : "") +
              ".");
        s.out("Next: korvane library --yes");
    } else if (r.outcome == ops::FirmwareOutcome::PageFailed || r.outcome == ops::FirmwareOutcome::EchoMismatch) {
        s.err("korvane firmware: stopped after " + std::to_string(r.pages_sent) + " of " +
              std::to_string(r.pages_total) + " pages; the pedal stays in update mode.");
    }
    return exit_status(r.outcome, r.migration.read.ok());
}

} // namespace kv::cli
