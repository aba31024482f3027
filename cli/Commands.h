#pragma once
// One function a command; each lives in its own file (cli/Cmd<Name>.cpp)
// and has one entry in the table of cli/Commands.cpp.

#include "cli/Cli.h"

namespace kv::cli {

int cmd_list(Session& s);
int cmd_arp(Session& s);
int cmd_backup(Session& s);
int cmd_restore(Session& s);
int cmd_read(Session& s);
int cmd_write(Session& s);
int cmd_globals(Session& s);
int cmd_firmware(Session& s);
int cmd_library(Session& s);
int cmd_factory_reset(Session& s);

// The table entry of a command by name; null when there is none.
const Command* find_command(std::string_view name);
int cmd_copy(Session& s);
int cmd_swap(Session& s);
int cmd_move(Session& s);
int cmd_presets(Session& s);
int cmd_setlist(Session& s);

} // namespace kv::cli
