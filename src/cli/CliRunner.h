// Runs one command of hc12prog-cli: wires the port, the serial link and the
// programmer to the terminal view, runs connect and the command, and turns the
// outcome into the exit status.
#pragma once

#include <iosfwd>

#include "CliOptions.h"
#include "TerminalView.h"

namespace hc12::cli {

// `out` receives the verify differences; everything else goes to io.err.
int RunCli(const CliOptions& options, std::ostream& out, const TerminalIo& io);

// The whole program: parse, --help, run. Returns the exit status.
int CliMain(const std::vector<std::string>& args, std::ostream& out, const TerminalIo& io);

}  // namespace hc12::cli
