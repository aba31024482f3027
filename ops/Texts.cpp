#include "ops/Texts.h"

namespace kv::ops {

std::string recovery_advice()
{
    return std::string("\n\n> If problem persisted try one or more of the following :\n\n    * Recycle power to the pedal "
                       "(unplug the power cable, re-plug, click 'Connect').\n\n    * Recycle the USB port (unplug the "
                       "USB cable, re-plug, click 'Connect').\n\n    * Plug to other available USB port, then click "
                       "'Connect'.\n\n") +
           "> < Direct support email : " + kSupportEmail + " >";
}

std::string usb_problem_text()
{
    return "USB Communication problem detected -\nMake sure pedal is powered & properly connected to the USB port, "
           "then try again." +
           recovery_advice();
}

std::string not_found_text()
{
    return "Pedal is not found -\nMake sure pedal is powered & properly connected to the USB port, then try "
           "again.\n\n"
           "> If it still is not found :\n\n"
           "    * Is the pedal switched on, and its USB cable plugged into the computer?\n\n"
           "    * The udev rule installed with Korvane (60-korvane.rules) names the pedal\n"
           "      /dev/tessivar and lets the user at the computer open it. In a terminal,\n"
           "      `ls -l /dev/tessivar` shows it; if it is missing, plug the pedal in again.\n\n"
           "    * Logged in from another seat or over the network, the rule does not apply:\n"
           "      join the 'dialout' group (sudo adduser $USER dialout), then log in again.";
}

std::string too_old_text()
{
    return std::string("This version of Korvane is not compatible with the firmware\ncurrently installed in your "
                       "pedal. Please update to\nfirmware v2.3.0 or higher.\n\n") +
           "> Download the latest firmware at : " + kDownloadPage + "\n\n-  This software will now close  -";
}

std::string midi_cables_text()
{
    return "If you have MIDI cables plugged in to Tessivar, unplug them now.\n\nIf you wish to leave them plugged "
           "in please make sure MIDI clock is DISABLED,\nand no midi messages are sent to the pedal while update "
           "is in progress.";
}

std::string read_write_failed_text() { return "Read / Write operation failed - please try again." + recovery_advice(); }

} // namespace kv::ops
