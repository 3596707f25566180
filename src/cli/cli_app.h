// The command-line front end: parses the arguments, converts the listed files with the
// engine, reports progress and messages on stderr and a summary on stdout.
#pragma once

#include "cli/cli_namespace.h"
#include <iosfwd>

namespace kestrova::cli {

// Exit status: 0 when every entry converted, 1 when any failed (or the run was cancelled),
// 2 for bad usage.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace kestrova::cli
