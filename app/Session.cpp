#include "app/Session.h"

#include "app/WindowReporter.h"
#include "link/FtDriver.h"

namespace kv {

PedalSession::PedalSession() = default;

PedalSession::~PedalSession() = default;

} // namespace kv
