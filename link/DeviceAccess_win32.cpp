#include "link/DeviceAccess.h"

// Windows gives a COM port to whichever program opens it first, whoever the
// user: there is no right to lack, so no hint. A port taken by another
// program is reported by the open itself ("in use by another program").

namespace kv {

std::string pedal_access_hint(const DeviceAccessPlaces&) { return {}; }

std::string pedal_access_hint() { return {}; }

}   // namespace kv
