#pragma once
// Backup, restore and the pedal's maintenance: the main menu's backup and
// restore of all presets, the algorithm library update, the factory reset,
// and the firmware update panel's three buttons (browse, update, cancel).
// Each holds the controls that could start another pedal operation while
// it runs and renders its report through the window's reporter.

#include <initializer_list>
#include <string>
#include <vector>

class Fl_Widget;

namespace kv {

class Korvane;
enum class UpdateRequest;

class MaintenanceController {
public:
    explicit MaintenanceController(Korvane& window) : w_(window) {}

    // Asks, then saves all presets of the pedal into the day's backup file.
    void backup_presets();
    // Asks, lets the user choose a backup file and writes it into the pedal
    // with the editing controls inactive; then reads everything back.
    void restore_presets();
    void update_library();
    void factory_reset();
    // The update panel's buttons (on_request).
    void on_update_panel(UpdateRequest request);
    // See Korvane::safety_backup and Korvane::firmware_menu_backup.
    bool safety_backup(const std::string& what, const std::vector<std::string>& never_remove = {});
    void firmware_menu_backup();

private:
    // The update panel's three buttons, and the step that ends each of them.
    void browse_firmware();
    void update_firmware_now();
    void cancel_firmware_update();
    void end_update_step();
    // Before the firmware transfer: a safety backup of this pedal was taken
    // in this run, or the user chose to go on without one.
    bool firmware_backup_ok();
    // The controls a maintenance operation keeps inactive while it writes.
    void hold_controls(std::initializer_list<Fl_Widget*> controls, bool hold);

    Korvane& w_;
};

} // namespace kv
