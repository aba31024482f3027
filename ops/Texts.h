#pragma once
// The texts of the dialogs that pedal operations show, word for word as
// users know them, and the maker's addresses they name.

#include <string>

namespace kv::ops {

constexpr const char* kDownloadPage = "https://www.brakwell.com/downloads";
constexpr const char* kSupportEmail = "support@brakwell.com";

// The second status line of a transfer that failed before it changed anything.
constexpr const char* kNoChangesLine = "  > No changes has been made. Please try again.";

// The advice the transfer failure dialogs end with ("\n\n> If problem
// persisted try one or more of the following :..."), then the support line.
std::string recovery_advice();
// "USB Communication problem detected -..." ending with the support address.
std::string usb_problem_text();
// "Pedal is not found -...".
std::string not_found_text();
// Firmware older than 2.3.0: the program closes after this alert.
std::string too_old_text();
// At start-up with the pedal in update mode.
std::string midi_cables_text();
// "Read / Write operation failed - please try again...." ending with the support address.
std::string read_write_failed_text();

} // namespace kv::ops
