// Entry point of a build without the window (-DKORVANE_GUI=OFF): the command
// line only, with neither the toolkit nor X linked. Alone, it says that this
// korvane has no window and lists the commands.

#include "cli/Cli.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc <= 1) std::fputs("korvane: this build has no window; give it a command.\n\n", stderr);
    return kv::cli::run(argc, argv);
}
