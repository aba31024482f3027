#include "app/MaintenanceController.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "app/Resources.h"
#include "app/KV_TextBoard.h"
#include "app/WindowReporter.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "library/core/BackupFile.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/AutoBackup.h"
#include "ops/Backup.h"
#include "ops/Firmware.h"
#include "ops/Library.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "preset/AlgorithmLibrary.h"
#include "widgets/Zoom.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Toggle_Button.H>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace kv {

namespace {

// The programs stored with each restored preset come from the algorithm
// library, built as the Dashboard builds them; read once.
const AlgorithmLibrary& restore_library()
{
    static const AlgorithmLibrary library(data_path(AlgorithmLibrary::kFileName));
    return library;
}

} // namespace

void MaintenanceController::hold_controls(std::initializer_list<Fl_Widget*> controls, bool hold)
{
    for (Fl_Widget* w : controls) {
        if (hold) w->deactivate();
        else w->activate();
    }
    if (!hold) w_.redraw();
}

void MaintenanceController::update_library()
{
    if (w_.session_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    // Quit and the close box wait until the pedal has been written.
    Korvane::WriteGuard writing(w_);
    const auto controls = {static_cast<Fl_Widget*>(w_.dashboard), static_cast<Fl_Widget*>(w_.expression_editor),
                           static_cast<Fl_Widget*>(w_.arp_editor), static_cast<Fl_Widget*>(w_.preset_panel),
                           static_cast<Fl_Widget*>(w_.transport_panel), static_cast<Fl_Widget*>(w_.write_button),
                           static_cast<Fl_Widget*>(w_.preset_selector), static_cast<Fl_Widget*>(w_.connect_button),
                           static_cast<Fl_Widget*>(w_.menu_button), static_cast<Fl_Widget*>(w_.quit_button),
                           static_cast<Fl_Widget*>(w_.templates_button)};
    // The pedal is looked for and the user asked before the safety backup.
    const ops::LibraryUpdateResult r =
        ops::update_library(*w_.session_.link, *w_.session_.reporter, data_dir(), w_.session_.pedal.serial_number, [&](bool hold) { hold_controls(controls, hold); },
                            [this] { return safety_backup("updating the algorithm library"); });
    if (r.outcome == ops::MaintenanceOutcome::NotFound) {
        w_.transport_panel->deactivate();
        w_.write_button->deactivate();
    }
    w_.redraw();
}

void MaintenanceController::factory_reset()
{
    if (w_.session_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    // Quit and the close box wait until the pedal has been written.
    Korvane::WriteGuard writing(w_);
    const auto controls = {static_cast<Fl_Widget*>(w_.templates_button), static_cast<Fl_Widget*>(w_.dashboard),
                           static_cast<Fl_Widget*>(w_.preset_panel), static_cast<Fl_Widget*>(w_.transport_panel),
                           static_cast<Fl_Widget*>(w_.write_button), static_cast<Fl_Widget*>(w_.preset_selector),
                           static_cast<Fl_Widget*>(w_.connect_button), static_cast<Fl_Widget*>(w_.menu_button),
                           static_cast<Fl_Widget*>(w_.quit_button)};
    const ops::FactoryResetResult r =
        ops::factory_reset(*w_.session_.link, *w_.session_.reporter, data_dir(), w_.session_.pedal.serial_number, w_.session_.work_image(), w_.session_.globals_bytes(),
                           [&](bool hold) { hold_controls(controls, hold); },
                           [this] { return w_.discard_changes_ok() && safety_backup("a factory reset"); });
    switch (r.outcome) {
    case ops::MaintenanceOutcome::NotFound:
        w_.transport_panel->deactivate();
        w_.write_button->deactivate();
        break;
    case ops::MaintenanceOutcome::Declined:
        break;
    default:
        w_.session_.online = false;
        w_.show_everything_read(r.read);
        break;
    }
    w_.redraw();
}

void MaintenanceController::backup_presets()
{
    if (w_.session_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    // Continue: a new file named by date and time in the presets folder;
    // Save as...: wherever the user says.
    const int answer = dialogs().choice(ops::kBackupQuestion, "Cancel", "Continue", "Save as\u2026");
    std::string path;
    if (answer == 1) {
        path = backup_file_path(w_.session_.presets_folder, local_time_now());
    } else if (answer == 2) {
        path = dialogs().choose_save_file("Save Backup As", "Backup\t*.bkp", chooser_folder(w_.session_.presets_folder),
                                          backup_file_name(local_time_now()));
        if (!path.empty() && std::filesystem::path(path).extension().empty()) path += ".bkp";
    }
    if (path.empty()) return;
    ops::backup(*w_.session_.link, *w_.session_.reporter, path);
    w_.redraw();
}

void MaintenanceController::restore_presets()
{
    if (w_.session_.busy > 0) return;
    if (!w_.discard_changes_ok()) return;
    Korvane::Exchange exchange(w_);
    if (dialogs().choice(ops::kRestoreQuestion, "Cancel", "Continue", nullptr) != 1) return;

    // The controls that could start another pedal operation or change the
    // edited preset; each gets back the state it had.
    Fl_Widget* const controls[] = {w_.templates_button, w_.dashboard,      w_.expression_editor, w_.arp_editor,
                                   w_.preset_panel,     w_.transport_panel, w_.write_button,     w_.preset_selector,
                                   w_.connect_button,   w_.menu_button,    w_.quit_button};
    bool was_active[std::size(controls)] = {};
    for (size_t i = 0; i < std::size(controls); ++i) {
        was_active[i] = controls[i]->active();
        controls[i]->deactivate();
    }
    w_.redraw();

    const std::string& folder = w_.session_.presets_folder;
    const std::vector<std::string> chosen = dialogs().choose_files(
        "Browse Backup File (.bkp)", "*.bkp", folder.substr(0, folder.empty() ? 0 : folder.size() - 1), false);
    if (!chosen.empty()) {
        const AlgorithmLibrary& library = restore_library();
        if (!read_backup_file(chosen.front()).ok()) {
            // A file that is not a backup is refused before anything is
            // backed up or sent (the restore reports it).
            ops::restore(*w_.session_.link, *w_.session_.reporter, chosen.front(), w_.session_.work_image(), ops::library_programs(library));
        } else if (library.usable()) {
            if (safety_backup("restoring the presets from a backup", {chosen.front()})) {
                Korvane::WriteGuard writing(w_);
                ops::restore(*w_.session_.link, *w_.session_.reporter, chosen.front(), w_.session_.work_image(), ops::library_programs(library));
            }
        } else {
            // Presets stored with blank programs would not play: nothing is sent.
            dialogs().alert("The algorithm library " + data_path(AlgorithmLibrary::kFileName) +
                            " could not be read; nothing was written to the pedal.");
        }
    }

    for (size_t i = 0; i < std::size(controls); ++i)
        if (was_active[i]) controls[i]->activate();
    // Whatever happened, the window shows what the pedal now holds.
    w_.read_everything();
    w_.session_.reporter->progress(100, std::nullopt, ops::Bar::Level);
    w_.redraw();
}

void MaintenanceController::on_update_panel(UpdateRequest request)
{
    if (w_.session_.busy > 0) return;
    switch (request) {
    case UpdateRequest::update_now: update_firmware_now(); break;
    case UpdateRequest::cancel: cancel_firmware_update(); break;
    case UpdateRequest::browse: browse_firmware(); break;
    }
}

void MaintenanceController::browse_firmware()
{
    const std::vector<std::string> chosen = dialogs().choose_files(
        KV_UpdatePanel::kChooserTitle, KV_UpdatePanel::kChooserFilter, KV_UpdatePanel::chooser_directory(), false);
    if (!chosen.empty()) {
        const ops::PackageRead r = ops::browse_firmware_package(*w_.session_.reporter, chosen.front());
        if (r.ok()) w_.update_panel->show_package(chosen.front(), r.package->version_text(), r.package->notes);
        else w_.update_panel->forget_package();
    }
    end_update_step();
}

void MaintenanceController::update_firmware_now()
{
    if (!firmware_backup_ok()) {
        end_update_step();
        return;
    }
    Korvane::Exchange exchange(w_);
    // Quit and the close box wait until the pedal has been written.
    Korvane::WriteGuard writing(w_);
    w_.update_panel->cancel_button->deactivate();
    w_.update_panel->update_button->deactivate();
    // The bar grows across the panel while the pages go.
    Fl_Progress* bar = w_.usb->progress;
    place(*bar, 500, 530, 440, 45);
    bar->labelfont(FL_HELVETICA_BOLD);
    set_labelsize(*bar, 18);
    w_.usb->redraw();
    w_.redraw();

    ops::FirmwareUpdate request;
    request.package_path = w_.update_panel->package_path();
    request.before = w_.pedal_info();
    request.library_path = AlgorithmLibrary::file_path(data_dir());
    const ops::FirmwareResult r = ops::update_firmware(*w_.session_.link, *w_.session_.reporter, request, w_.session_.work_image(), w_.session_.globals_bytes());
    if (r.transfer_ended()) {
        if (r.outcome == ops::FirmwareOutcome::Updated) {
            w_.session_.online = false;
            w_.show_everything_read(r.migration.read);
        }
        // Whatever became of the pages, the editor is back; after a failure
        // Connect finds the pedal still in update mode.
        for (Fl_Widget* w : {static_cast<Fl_Widget*>(w_.connect_button), static_cast<Fl_Widget*>(w_.menu_button),
                             static_cast<Fl_Widget*>(w_.quit_button), static_cast<Fl_Widget*>(w_.templates_button),
                             static_cast<Fl_Widget*>(w_.dashboard), static_cast<Fl_Widget*>(w_.preset_panel),
                             static_cast<Fl_Widget*>(w_.transport_panel), static_cast<Fl_Widget*>(w_.preset_selector)})
            w->activate();
        w_.update_panel->hide();
    } else {
        // Nothing was sent: the pedal still waits, and Cancel still works.
        w_.update_panel->forget_package();
        w_.update_panel->cancel_button->activate();
    }
    end_update_step();
}

void MaintenanceController::cancel_firmware_update()
{
    Korvane::Exchange exchange(w_);
    const ops::CancelResult r = ops::cancel_update(*w_.session_.link, *w_.session_.reporter, w_.pedal_info(), w_.session_.work_image(), [this] {
        w_.update_panel->hide();
        for (Fl_Widget* w : {static_cast<Fl_Widget*>(w_.dashboard), static_cast<Fl_Widget*>(w_.preset_panel),
                             static_cast<Fl_Widget*>(w_.transport_panel), static_cast<Fl_Widget*>(w_.templates_button),
                             static_cast<Fl_Widget*>(w_.preset_selector), static_cast<Fl_Widget*>(w_.connect_button),
                             static_cast<Fl_Widget*>(w_.menu_button), static_cast<Fl_Widget*>(w_.quit_button)})
            w->activate();
        w_.redraw();
    });
    switch (r.outcome) {
    case ops::CancelOutcome::NotSent:
        w_.transport_panel->deactivate();
        break;
    case ops::CancelOutcome::TooOld:
        w_.end_process(0);
        return;
    case ops::CancelOutcome::Left:
        w_.session_.pedal.pedal_mode = uint8_t(w_.session_.pedal.pedal_mode | 0x80);
        w_.show_everything_read(r.read);
        break;
    }
    end_update_step();
}

void MaintenanceController::end_update_step()
{
    w_.place_compare();
    w_.text_board->scroll_to_status_lines();
    Fl_Progress* bar = w_.usb->progress;
    place(*bar, 385, 565, 200, 26);
    bar->labelfont(FL_HELVETICA);
    set_labelsize(*bar, 14);
    w_.usb->redraw();
    w_.redraw();
}

bool MaintenanceController::safety_backup(const std::string& what, const std::vector<std::string>& never_remove)
{
    const ops::GuardResult g = ops::guard_with_backup(*w_.session_.link, *w_.session_.reporter, ops::auto_backup_folder(w_.session_.presets_folder),
                                                      what, ops::OnBackupFailure::Ask, never_remove);
    if (g.backup.ok) {
        w_.session_.backed_up_serial = w_.session_.pedal.serial_number;
        w_.session_.written_since_backup = false;
    }
    return g.proceed;
}

void MaintenanceController::firmware_menu_backup()
{
    if (!w_.session_.online || w_.session_.pedal.serial_number.empty()) return;
    // Opening the entry again (and again) must not push older backups out.
    if (w_.session_.backed_up_serial == w_.session_.pedal.serial_number && !w_.session_.written_since_backup) return;
    safety_backup("updating the firmware");
}

bool MaintenanceController::firmware_backup_ok()
{
    // A pedal in update mode cannot be read: the backup is the one taken
    // from this pedal earlier (Menu > Update Firmware, or any other).
    if (!w_.session_.pedal.serial_number.empty() && w_.session_.backed_up_serial == w_.session_.pedal.serial_number) return true;
    return dialogs().choice(ops::backup_failed_question("updating the firmware",
                                                        "the pedal waits in update mode, where its presets cannot "
                                                        "be read (choose Menu > Update Firmware before starting it "
                                                        "in update mode to back them up)."),
                            "Cancel", "Continue", nullptr) == 1;
}

} // namespace kv
