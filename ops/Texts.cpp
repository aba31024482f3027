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
           "again.\n\n> For Mac users : If this is the first time you install this software and connecting the "
           "pedal,\n                    it's likely that the installation was incomplete. Please take a look at "
           "the\n                    'Installation Guide' pdf file included with the installer and repeat the\n"
           "                    installation process if necessary.";
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
