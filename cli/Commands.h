#pragma once
// One function a command; each lives in its own file (cli/Cmd<Name>.cpp)
// and has one entry in the table of cli/Commands.cpp.

#include "cli/Cli.h"

namespace kv::cli {

int cmd_list(Session& s);
int cmd_arp(Session& s);

} // namespace kv::cli
